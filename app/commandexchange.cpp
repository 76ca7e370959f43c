#include "mainwindow.h"

#include "dataparser.h"
#include "fieldcodec.h"
#include "mainwindowform.h"
#include "devicesession.h"
#include "reportlayout.h"
#include "requestframe.h"
#include "usbhid.h"

#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace {
constexpr int answerTimeoutMs = 1000;
} // namespace

void MainWindow::on_pbSend_clicked()
{
    const int index = form->cbCommand->currentIndex();
    if (index < 0 || index >= commands.size())
        return; // no command selected: nothing to send
    const CommandDescription &command = *commands.at(index);

    QStringList texts;
    for (const QLineEdit *editor : qAsConst(requestEdits))
        texts << editor->text();
    QList<int> refused;
    const QByteArray request = RequestFrame::make(command, texts, &refused);
    if (request.isEmpty()) {
        // Nothing is sent: every field the codec refused says why, the rest stays as it was.
        for (int i = 0; i < requestEdits.size(); ++i) {
            if (refused.contains(i))
                markRefusedField(requestEdits.at(i), command.outTypes.value(i), command.outViews.value(i));
            else
                clearRefusedField(requestEdits.at(i));
        }
        return;
    }
    for (QLineEdit *editor : qAsConst(requestEdits))
        clearRefusedField(editor);

    if (!usb->queueRequest(reinterpret_cast<const unsigned char *>(request.constData()))) {
        setAnswerTexts(tr("занят, повторить позже..."));
        return;
    }
    appendRequestRecord(request);
    session->recordRequest(request);
    setAnswerTexts(tr("ждём..."));
    setExchangeControlsEnabled(false);
    expectedAnswerId = static_cast<unsigned char>(request.at(ReportLayout::idByte));
    exchangeTimer->start(answerTimeoutMs);
}

void MainWindow::dataExchangeTimeout()
{
    exchangeTimer->stop();
    expectedAnswerId = -1;
    // Given up on here, the request must not reach a device later (one plugged in minutes
    // from now, whose answer would be matched to nothing).
    usb->withdrawRequest();
    setAnswerTexts(tr("не отвечает..."));
    setExchangeControlsEnabled(true);
}

void MainWindow::handleReport()
{
    // Cleared before reading: a report decoded from here on asks for another call.
    reportPending = false;
    std::lock_guard<std::mutex> lock(parser->stateLock);
    // Answers are kept one by one, so an answer is never lost to the reports that follow it.
    while (!parser->answers.isEmpty())
        handleAnswer(parser->answers.dequeue());

    // Telemetry: only the newest report counts.
    if (parser->lastId != 0)
        return;
    const int count = qMin(parser->values.size(), valueTexts.size());
    for (int i = 0; i < count; ++i)
        valueTexts[i] = parser->values.at(i);
    // A command whose id is a multiple of 256 is awaited as id 0: telemetry ends its wait.
    if (expectedAnswerId == 0) {
        exchangeTimer->stop();
        expectedAnswerId = -1;
        setExchangeControlsEnabled(true);
    }
    appendReportRecord(0, parser->lastReport);
}

void MainWindow::handleAnswer(const DecodedAnswer &answer)
{
    if (answer.id == expectedAnswerId) {
        const int count = qMin(answer.values.size(), answerEdits.size());
        for (int i = 0; i < count; ++i)
            answerEdits[i]->setText(answer.values.at(i));
        exchangeTimer->stop();
        expectedAnswerId = -1;
        setExchangeControlsEnabled(true);
    }
    appendReportRecord(answer.id, answer.report);
}

void MainWindow::setAnswerTexts(const QString &text)
{
    for (QLineEdit *editor : qAsConst(answerEdits))
        editor->setText(text);
}

void MainWindow::setExchangeControlsEnabled(bool enabled)
{
    form->pbSend->setEnabled(enabled);
    form->cbCommand->setEnabled(enabled);
}

namespace {
const char *const refusalLabelName = "lbRefusedValue";
} // namespace

void MainWindow::markRefusedField(QLineEdit *editor, ParamType type, ParamView view)
{
    const FieldCodec::Accepted accepted = FieldCodec::accepted(type, view);
    const QString reason = accepted.maxBytes > 0
        ? tr("Не отправлено: не длиннее %1 байт").arg(accepted.maxBytes)
        : tr("Не отправлено: допустимо %1").arg(accepted.ranges.join(tr(" или ")));
    editor->setStyleSheet(QStringLiteral("QLineEdit { border: 1px solid #e04848; }"));
    editor->setToolTip(reason);

    // The reason stands under the editor, in the field's own frame.
    QWidget *frame = editor->parentWidget();
    auto *label = frame ? frame->findChild<QLabel *>(QLatin1String(refusalLabelName)) : nullptr;
    if (frame && !label && frame->layout()) {
        label = new QLabel(frame);
        label->setObjectName(QLatin1String(refusalLabelName));
        label->setStyleSheet(QStringLiteral("QLabel { color: #ff6a6a; }"));
        label->setWordWrap(true);
        frame->layout()->addWidget(label);
    }
    if (label)
        label->setText(reason);
}

void MainWindow::clearRefusedField(QLineEdit *editor)
{
    if (editor->styleSheet().isEmpty())
        return;
    editor->setStyleSheet(QString());
    editor->setToolTip(QString());
    if (QWidget *frame = editor->parentWidget())
        delete frame->findChild<QLabel *>(QLatin1String(refusalLabelName));
}
