#include "mainwindow.h"

#include "flowlayout.h"
#include "mainwindowform.h"

#include <QComboBox>
#include <QGroupBox>
#include <QJsonParseError>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

void MainWindow::loadConfig()
{
    form->frame->setLayout(new FlowLayout(-1, -1, -1));
    form->scrollAreaWidgetContents->setLayout(new QVBoxLayout);

    // The file was read once, when the window was made; what it gave is taken from there.
    if (!configuration.opened) {
        addMessageLabel(tr("Couldn't open config file."));
        return;
    }
    // A document that does not parse gives the empty state below, and says why and where.
    if (const ConfigurationProblem *error = configuration.syntaxError()) {
        addMessageLabel(tr("Ошибка в файле конфигурации: %1 (строка %2, столбец %3).")
                            .arg(syntaxErrorText(error->jsonError))
                            .arg(error->line)
                            .arg(error->column));
    }

    maxPlotXPoints = configuration.maxPlotXPoints;
    maxConsoleLines = configuration.maxConsoleLines;
    telemetry = configuration.telemetry;
    for (const CommandDescription &description : configuration.commands) {
        commands.append(new CommandDescription(description));
        // The first item makes the combo box announce index 0 while the request and
        // answer groups have no layout yet; the form is built at the end of loading.
        addCommandItem(description.name);
    }

    setHeaderLabels();
    for (int i = 0; i < telemetry.inNames.size(); ++i) {
        addPlot(i);
        addValueRow(i);
    }
    addPlotButtons();

    form->gbOut->setLayout(new FlowLayout(-1, -1, -1));
    form->gbIn->setLayout(new FlowLayout(-1, -1, -1));
    form->cbCommand->setCurrentIndex(0);
    on_cbCommand_currentIndexChanged(0);

    form->pte->document()->setMaximumBlockCount(maxConsoleLines);
    readMqttSettings(configuration);
}

QString MainWindow::syntaxErrorText(int error)
{
    switch (error) {
    case QJsonParseError::UnterminatedObject:
        return tr("объект не закрыт");
    case QJsonParseError::MissingNameSeparator:
        return tr("после имени нет двоеточия");
    case QJsonParseError::UnterminatedArray:
        return tr("массив не закрыт");
    case QJsonParseError::MissingValueSeparator:
        return tr("между значениями нет запятой");
    case QJsonParseError::IllegalValue:
        return tr("недопустимое значение");
    case QJsonParseError::TerminationByNumber:
        return tr("текст обрывается на числе");
    case QJsonParseError::IllegalNumber:
        return tr("недопустимое число");
    case QJsonParseError::IllegalEscapeSequence:
        return tr("недопустимая escape-последовательность");
    case QJsonParseError::IllegalUTF8String:
        return tr("недопустимый текст UTF-8");
    case QJsonParseError::UnterminatedString:
        return tr("строка не закрыта");
    case QJsonParseError::MissingObject:
        return tr("ожидался объект");
    case QJsonParseError::DeepNesting:
        return tr("слишком глубокая вложенность");
    case QJsonParseError::DocumentTooLarge:
        return tr("документ слишком велик");
    case QJsonParseError::GarbageAtEnd:
        return tr("лишний текст после конца документа");
    default:
        return tr("неверный JSON");
    }
}

void MainWindow::addMessageLabel(const QString &text)
{
    auto *label = new QLabel(text, form->scrollAreaWidgetContents);
    label->setAlignment(Qt::AlignCenter);
    label->setFont(QFont(QStringLiteral("Helvetica [Cronyx]"), 12));
    form->scrollAreaWidgetContents->layout()->addWidget(label);
}
