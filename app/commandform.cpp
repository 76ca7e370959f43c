#include "mainwindow.h"

#include "mainwindowform.h"

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

// Removes every field frame from a group's layout and destroys it with its label and editor.
void emptyGroup(QLayout *layout)
{
    while (QLayoutItem *item = layout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
}

// One field of the form: a frame holding the label "name (type, view)" above its editor.
QLineEdit *addField(QLayout *group, const QString &label, QLineEdit *editor)
{
    auto *frame = new QFrame;
    frame->setFrameStyle(QFrame::StyledPanel);
    auto *layout = new QVBoxLayout(frame);
    layout->addWidget(new QLabel(label));
    layout->addWidget(editor);
    group->addWidget(frame);
    return editor;
}

QString fieldLabel(const CommandDescription &command, const QString &name, ParamType type, ParamView view)
{
    return name + QStringLiteral(" (") + command.typeName.value(type) + QStringLiteral(", ")
           + command.viewName.value(view) + QStringLiteral(")");
}

} // namespace

void MainWindow::on_cbCommand_currentIndexChanged(int index)
{
    // Before loading has installed the group layouts there is nothing to build into.
    QLayout *requestGroup = form->gbOut->layout();
    if (!requestGroup)
        return;
    // No command selected (an empty list): both groups stay empty.
    const CommandDescription *command =
        index >= 0 && index < commands.size() ? commands.at(index) : nullptr;

    emptyGroup(requestGroup);
    requestEdits.clear();
    if (command) {
        for (int i = 0; i < command->outNames.size(); ++i) {
            const QString label = fieldLabel(*command, command->outNames.at(i),
                                             command->outTypes.value(i), command->outViews.value(i));
            auto *editor = new QLineEdit(command->outDefaults.value(i));
            requestEdits.append(addField(requestGroup, label, editor));
        }
    }

    QLayout *answerGroup = form->gbIn->layout();
    if (!answerGroup)
        return;
    emptyGroup(answerGroup);
    answerEdits.clear();
    if (command) {
        for (int i = 0; i < command->inNames.size(); ++i) {
            auto *editor = new QLineEdit;
            editor->setReadOnly(true);
            const QString label = fieldLabel(*command, command->inNames.at(i),
                                             command->inTypes.value(i), command->inViews.value(i));
            answerEdits.append(addField(answerGroup, label, editor));
        }
    }
}
