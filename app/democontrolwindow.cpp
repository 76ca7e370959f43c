#include "democontrolwindow.h"

#include "commandanswerer.h"
#include "simplatform.h"
#include "telemetrygenerator.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
const QString productName = QStringLiteral("Tolvex demo");
}

DemoControlWindow::DemoControlWindow(SimPlatform &platform, const SimConfig &config, QWidget *parent)
    : QWidget(parent), platform(platform), config(config)
{
    setObjectName(QStringLiteral("DemoControlWindow"));
    setWindowTitle(tr("Имитатор устройства"));

    lbState = new QLabel(this);
    lbState->setObjectName(QStringLiteral("lbState"));
    pbPlug = new QPushButton(this);
    pbPlug->setObjectName(QStringLiteral("pbPlug"));
    pbSecond = new QPushButton(this);
    pbSecond->setObjectName(QStringLiteral("pbSecond"));
    sbRate = new QSpinBox(this);
    sbRate->setObjectName(QStringLiteral("sbRate"));
    sbRate->setRange(0, 50000);
    sbRate->setSingleStep(50);
    sbRate->setSuffix(tr(" отчётов/с"));
    sbRate->setValue(initialRate);
    cbAnswer = new QCheckBox(tr("Отвечать на команды"), this);
    cbAnswer->setObjectName(QStringLiteral("cbAnswer"));
    cbAnswer->setChecked(true);

    auto *form = new QFormLayout;
    form->addRow(tr("Телеметрия:"), sbRate);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lbState);
    layout->addWidget(pbPlug);
    layout->addWidget(pbSecond);
    layout->addLayout(form);
    layout->addWidget(cbAnswer);

    connect(pbPlug, &QPushButton::clicked, this, &DemoControlWindow::togglePlugged);
    connect(pbSecond, &QPushButton::clicked, this, &DemoControlWindow::toggleSecond);
    connect(sbRate, QOverload<int>::of(&QSpinBox::valueChanged), this, &DemoControlWindow::setRate);
    connect(cbAnswer, &QCheckBox::toggled, this, &DemoControlWindow::setAnswering);

    first = makeUnit(QStringLiteral("/sim/hidraw0"));
    platform.plug(first->device);
    updateTexts();
}

DemoControlWindow::~DemoControlWindow()
{
    // The generators stop with their units; the devices leave the platform.
    if (second)
        platform.unplug(second->device);
    platform.unplug(first->device);
}

std::shared_ptr<SimDevice> DemoControlWindow::firstDevice() const
{
    return first->device;
}

std::shared_ptr<SimDevice> DemoControlWindow::secondDevice() const
{
    return second ? second->device : nullptr;
}

std::unique_ptr<DemoControlWindow::Unit> DemoControlWindow::makeUnit(const QString &path)
{
    auto unit = std::make_unique<Unit>();
    unit->device = std::make_shared<SimDevice>(productName, path);
    unit->answerer = std::make_unique<CommandAnswerer>(config.commands);
    unit->answerer->setAnswering(cbAnswer->isChecked());
    unit->answerer->attachTo(*unit->device);
    unit->generator = std::make_unique<TelemetryGenerator>(unit->device, config.telemetry);
    unit->generator->setRate(sbRate->value());
    return unit;
}

void DemoControlWindow::togglePlugged()
{
    if (first->device->isPlugged())
        platform.unplug(first->device);
    else
        platform.plug(first->device);
    updateTexts();
}

void DemoControlWindow::toggleSecond()
{
    if (second) {
        platform.unplug(second->device);
        second.reset();
    } else {
        second = makeUnit(QStringLiteral("/sim/hidraw1"));
        platform.plug(second->device);
    }
    updateTexts();
}

void DemoControlWindow::setRate(int rate)
{
    first->generator->setRate(rate);
    if (second)
        second->generator->setRate(rate);
}

void DemoControlWindow::setAnswering(bool on)
{
    first->answerer->setAnswering(on);
    if (second)
        second->answerer->setAnswering(on);
}

void DemoControlWindow::updateTexts()
{
    const bool plugged = first->device->isPlugged();
    lbState->setText(plugged ? tr("Устройство подключено") : tr("Устройство отключено"));
    pbPlug->setText(plugged ? tr("Отключить устройство") : tr("Подключить устройство"));
    pbSecond->setText(second ? tr("Отключить второе устройство") : tr("Подключить второе устройство"));
}
