#include "mainwindow.h"

#include "configlocation.h"
#include "flowlayout.h"
#include "mainwindowform.h"

#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

void MainWindow::loadConfig()
{
    form->frame->setLayout(new FlowLayout(-1, -1, -1));
    form->scrollAreaWidgetContents->setLayout(new QVBoxLayout);

    QFile file(configPathBesideExecutable());
    if (!file.open(QIODevice::ReadOnly)) {
        addMessageLabel(tr("Couldn't open config file."));
        return;
    }
    const QByteArray text = file.readAll();
    file.close();
    configurationText = text;
    // An invalid document, or one whose top level is not an object, reads as an empty object.
    const QJsonObject root = QJsonDocument::fromJson(text).object();

    const QJsonObject settings = root.value(QStringLiteral("settings")).toObject();
    // The plot buffers cannot hold a negative number of points.
    maxPlotXPoints = qMax(0, settings.value(QStringLiteral("maxPlotXPoints")).toInt(0));
    maxConsoleLines = settings.value(QStringLiteral("maxConsoleLines")).toInt(0);
    sessionLogEnabled = settings.value(QStringLiteral("sessionLog")).toBool(true);
    plotTimeAxis = settings.value(QStringLiteral("plotTimeAxis")).toBool(false);

    const QJsonArray entries = root.value(QStringLiteral("commands")).toArray();
    for (const QJsonValue &entry : entries) {
        CommandDescription description(entry.toObject());
        if (description.id == 0) {
            telemetry = description;
        } else {
            commands.append(new CommandDescription(description));
            // The first item makes the combo box announce index 0 while the request and
            // answer groups have no layout yet; the form is built at the end of loading.
            form->cbCommand->addItem(description.name);
        }
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
}

void MainWindow::addMessageLabel(const QString &text)
{
    auto *label = new QLabel(text, form->scrollAreaWidgetContents);
    label->setAlignment(Qt::AlignCenter);
    label->setFont(QFont(QStringLiteral("Helvetica [Cronyx]"), 12));
    form->scrollAreaWidgetContents->layout()->addWidget(label);
}
