#include "programplatform.h"

#include "replayplatform.h"
#include "systemplatform.h"

ProgramPlatform::ProgramPlatform() = default;

ProgramPlatform::~ProgramPlatform() = default;

bool ProgramPlatform::replay(const QString &path, double speed)
{
    auto recording = std::make_unique<ReplayPlatform>();
    if (!recording->load(path, speed)) {
        error = recording->errorString();
        return false;
    }
    replaying = recording.get();
    chosen = replaying;
    owned = std::move(recording);
    return true;
}

void ProgramPlatform::useStandIn(HidPlatform *standIn)
{
    owned.reset();
    replaying = nullptr;
    chosen = standIn;
}

HidPlatform *ProgramPlatform::platform()
{
    if (!chosen) {
        owned = makeSystemPlatform();
        chosen = owned.get();
    }
    return chosen;
}
