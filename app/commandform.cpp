#include "mainwindow.h"

#include "fittedtext.h"
#include "mainwindowform.h"

#include <QComboBox>
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

// Widths in pixels beyond which a command name or a field label is cut, so that the command
// dock, and with it the window, never grows with them.
constexpr int longestCommandName = 300;
constexpr int longestFieldLabel = 300;

// One field of the form: a frame holding the label "name (type, view)" above its editor.
QLineEdit *addField(QLayout *group, const QString &label, QLineEdit *editor)
{
    auto *frame = new QFrame;
    frame->setFrameStyle(QFrame::StyledPanel);
    auto *layout = new QVBoxLayout(frame);
    auto *labelWidget = new QLabel;
    const FittedText fitted = fitText(label, labelWidget->font(), longestFieldLabel);
    labelWidget->setText(fitted.text);
    labelWidget->setToolTip(fitted.toolTip);
    layout->addWidget(labelWidget);
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

void MainWindow::addCommandItem(const QString &name)
{
    const FittedText fitted = fitText(name, form->cbCommand->font(), longestCommandName);
    form->cbCommand->addItem(fitted.text);
    if (!fitted.toolTip.isEmpty())
        form->cbCommand->setItemData(form->cbCommand->count() - 1, fitted.toolTip, Qt::ToolTipRole);
}

void MainWindow::on_cbCommand_currentIndexChanged(int index)
{
    // The chosen command's whole name, where the box shows it cut.
    form->cbCommand->setToolTip(form->cbCommand->itemData(index, Qt::ToolTipRole).toString());

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
            // A refused value's mark goes as soon as the operator changes the text.
            connect(editor, &QLineEdit::textChanged, this, [this, editor] { clearRefusedField(editor); });
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
