#include "recordingdecoder.h"
#include "recordingwriter.h"
#include "reportclock.h"

#include <QBuffer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

using RecordKind = RecordingFormat::RecordKind;

namespace {

CommandDescription describe(const char *json)
{
    return CommandDescription(QJsonDocument::fromJson(json).object());
}

QByteArray report(int id, quint16 value)
{
    QByteArray bytes(64, '\0');
    bytes[0] = 1;
    bytes[1] = char(id);
    bytes[2] = char(value & 0xff);
    bytes[3] = char(value >> 8);
    return bytes;
}

// An output that takes nothing, as standard output does once its reader has gone.
class RefusingDevice : public QIODevice
{
public:
    RefusingDevice() { open(QIODevice::WriteOnly | QIODevice::Unbuffered); }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64) override
    {
        setErrorString(QStringLiteral("Broken pipe"));
        return -1;
    }
};

} // namespace

class TestRecordingDecoder : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    const CommandDescription telemetry = describe(R"({"id": 0, "in": [
        {"name": "n", "type": "uint16"},
        {"name": "sum", "type": "uint16", "script": "var total = (typeof total == 'undefined' ? 0 : total) + x + (typeof bias == 'undefined' ? 0 : bias); total"}]})");
    const CommandDescription answer = describe(R"({"id": 5, "in": [
        {"name": "bias", "type": "uint16", "script": "bias = x; x"}]})");

    // count telemetry reports 1 ms apart counting from 1, each value twice; an answer setting
    // the bias to 1000 after the first half.
    QString writeRecording(int count)
    {
        const QString file = dir.filePath(QStringLiteral("r%1.tvxr").arg(count));
        RecordingWriter writer;
        if (!writer.open(file, RecordingFormat::Header()))
            return QString();
        const qint64 t0 = monotonicNowNs();
        for (int n = 1; n <= count; ++n) {
            const QByteArray values = report(0, quint16(n));
            QByteArray twice = values;
            twice[4] = values[2];
            twice[5] = values[3];
            writer.record(RecordKind::Report, twice, t0 + qint64(n) * 1000000);
            if (n == count / 2)
                writer.record(RecordKind::Report, report(5, 1000), t0 + qint64(n) * 1000000 + 1);
        }
        writer.close();
        return file;
    }

private slots:
    void everyReportIsDecodedInOrderWithTheScriptsState()
    {
        // More reports than the decoder hands over at once, so that order and script state
        // must survive its hand-overs.
        const int count = 5000;
        const QString file = writeRecording(count);
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        RecordingDecoder decoder(telemetry, {telemetry, answer});
        QVERIFY2(decoder.decode(file, &out), qPrintable(decoder.errorString()));
        QCOMPARE(decoder.reportsRead(), qint64(count + 1));
        QCOMPARE(decoder.rowsWritten(), qint64(count));

        const QList<QByteArray> lines = out.data().split('\n');
        QCOMPARE(lines.size(), count + 2); // the header, the rows, the empty end
        QCOMPARE(lines.first(), QByteArray("time,elapsed_s,n,sum"));
        double total = 0;
        for (int n = 1; n <= count; ++n) {
            total += n + (n > count / 2 ? 1000 : 0);
            const QList<QByteArray> fields = lines.at(n).split(',');
            QCOMPARE(fields.size(), 4);
            QCOMPARE(fields.at(1), QByteArray::number(double(n - 1) / 1000, 'f', 6));
            QCOMPARE(fields.at(2), QByteArray::number(n));
            QCOMPARE(fields.at(3), QString::number(total, 'g', 6).toLatin1());
        }
    }

    void anOutputThatFailsEndsTheDecodeWithItsError()
    {
        const QString file = writeRecording(200000);
        RefusingDevice out;
        RecordingDecoder decoder(telemetry, {telemetry, answer});
        QVERIFY(!decoder.decode(file, &out));
        QVERIFY(decoder.headerRead());
        QCOMPARE(decoder.outputError(), QStringLiteral("Broken pipe"));
        // It stops there (as `decode | head` wants), not after reading the whole file.
        QVERIFY(decoder.rowsWritten() < 200000);
    }
};

QTEST_GUILESS_MAIN(TestRecordingDecoder)
#include "tst_recordingdecoder.moc"
