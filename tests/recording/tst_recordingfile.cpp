#include "recordingreader.h"
#include "recordingwriter.h"
#include "reportclock.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <limits>

using RecordKind = RecordingFormat::RecordKind;

namespace {

QByteArray report(int id, const QByteArray &payload)
{
    QByteArray bytes(64, '\0');
    bytes[0] = 1;
    bytes[1] = char(id);
    bytes.replace(2, payload.size(), payload);
    return bytes.left(64);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

} // namespace

class TestRecordingFile : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString path(const char *name) { return dir.filePath(QString::fromLatin1(name)); }

    // Three reports and a request, 0, 1.5 ms, 2 s and 2 s later.
    QString writeSample()
    {
        const QString file = path("sample.tvxr");
        RecordingFormat::Header header;
        header.startMsUtc = 1733650000123;
        header.utcOffsetS = 3600;
        header.product = QStringLiteral("Тест, probe");
        header.path = QStringLiteral("/dev/hidraw3");
        header.tag = QStringLiteral("1a2b");
        header.configuration = "{\"commands\": []}";
        RecordingWriter writer;
        if (!writer.open(file, header))
            return QString();
        const qint64 t0 = monotonicNowNs();
        writer.record(RecordKind::Report, report(0, QByteArray::fromHex("0102")), t0);
        writer.record(RecordKind::Report, report(0, QByteArray(62, '\xff')), t0 + 1500000);
        writer.record(RecordKind::Request, report(5, QByteArray::fromHex("07")), t0 + 2000000000);
        writer.record(RecordKind::Report, report(5, QByteArray()), t0 + 2000000000);
        writer.close();
        return file;
    }

    QList<RecordingReader::Record> readEvery(RecordingReader &reader)
    {
        QList<RecordingReader::Record> records;
        RecordingReader::Record record;
        while (reader.next(record))
            records.append(record);
        return records;
    }

private slots:
    void whatIsWrittenIsReadBack()
    {
        const QString file = writeSample();
        QVERIFY(!file.isEmpty());
        RecordingReader reader;
        QVERIFY2(reader.open(file), qPrintable(reader.errorString()));
        QCOMPARE(reader.header().startMsUtc, Q_INT64_C(1733650000123));
        QCOMPARE(reader.header().utcOffsetS, 3600);
        QCOMPARE(reader.header().product, QStringLiteral("Тест, probe"));
        QCOMPARE(reader.header().path, QStringLiteral("/dev/hidraw3"));
        QCOMPARE(reader.header().tag, QStringLiteral("1a2b"));
        QCOMPARE(reader.header().configuration, QByteArray("{\"commands\": []}"));

        const QList<RecordingReader::Record> records = readEvery(reader);
        QCOMPARE(reader.status(), RecordingReader::Status::Ok);
        QVERIFY(reader.errorString().isEmpty());
        QCOMPARE(records.size(), 4);
        const RecordKind kinds[] = {RecordKind::Report, RecordKind::Report, RecordKind::Request,
                                    RecordKind::Report};
        const QByteArray data[] = {report(0, QByteArray::fromHex("0102")), report(0, QByteArray(62, '\xff')),
                                   report(5, QByteArray::fromHex("07")), report(5, QByteArray())};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(records[i].kind, kinds[i]);
            QCOMPARE(records[i].data, data[i]);
        }
        // Times relative to the first record, to the microsecond.
        QCOMPARE(records[1].timeUs - records[0].timeUs, quint64(1500));
        QCOMPARE(records[2].timeUs - records[0].timeUs, quint64(2000000));
        QCOMPARE(records[3].timeUs, records[2].timeUs);
        // Compact: trailing zero bytes of a report are not stored.
        QVERIFY(readAll(file).size() < 4 * 64);
    }

    void aRecordingCutAnywhereInItsLastRecordKeepsTheRecordsBefore()
    {
        const QString file = writeSample();
        const QByteArray whole = readAll(file);
        RecordingReader full;
        QVERIFY(full.open(file));
        const QList<RecordingReader::Record> all = readEvery(full);
        const qint64 lastStart = all.last().offset;

        for (qint64 cut = lastStart; cut < whole.size(); ++cut) {
            const QString cutFile = path("cut.tvxr");
            writeAll(cutFile, whole.left(int(cut)));
            RecordingReader reader;
            QVERIFY(reader.open(cutFile));
            const QList<RecordingReader::Record> records = readEvery(reader);
            QCOMPARE(records.size(), 3);
            QCOMPARE(records.last().data, all[2].data);
            if (cut == lastStart) {
                // Cut between two records: a complete recording, only shorter.
                QCOMPARE(reader.status(), RecordingReader::Status::Ok);
            } else {
                QCOMPARE(reader.status(), RecordingReader::Status::Truncated);
                QVERIFY2(reader.errorString().contains(QStringLiteral("byte %1").arg(lastStart)),
                         qPrintable(reader.errorString()));
            }
        }
        // Zeros where a crash left the last writes unwritten read as a cut, not as damage.
        writeAll(path("zeros.tvxr"), whole.left(int(lastStart) + 3) + QByteArray(4096, '\0'));
        RecordingReader zeros;
        QVERIFY(zeros.open(path("zeros.tvxr")));
        QCOMPARE(readEvery(zeros).size(), 3);
        QCOMPARE(zeros.status(), RecordingReader::Status::Truncated);
    }

    void damageIsNamedWithItsPlace()
    {
        const QString file = writeSample();
        RecordingReader intact;
        QVERIFY(intact.open(file));
        const QList<RecordingReader::Record> all = readEvery(intact);

        QByteArray bytes = readAll(file);
        bytes[int(all[1].offset) + 5] = char(bytes[int(all[1].offset) + 5] ^ 0x10);
        writeAll(path("damaged.tvxr"), bytes);
        RecordingReader reader;
        QVERIFY(reader.open(path("damaged.tvxr")));
        QCOMPARE(readEvery(reader).size(), 1);
        QCOMPARE(reader.status(), RecordingReader::Status::Corrupt);
        QVERIFY2(reader.errorString().contains(QStringLiteral("byte %1").arg(all[1].offset)),
                 qPrintable(reader.errorString()));
    }

    void timesBeyondWhatADateCanShowAreDamage_data()
    {
        // Records whose checksums are right but whose time deltas would wrap the running
        // time, overflow its nanoseconds, or carry it centuries away.
        QTest::addColumn<QByteArray>("hostile");
        QByteArray wrapping;
        RecordingFormat::appendRecord(wrapping, RecordKind::Report, (quint64(1) << 63) + 5, report(0, "\x01"));
        QByteArray centuries;
        RecordingFormat::appendRecord(centuries, RecordKind::Report, quint64(1) << 55, report(0, "\x01"));
        // Ten time bytes whose last carries bits past the 64th: 5 + 2 * 2^63.
        QByteArray past64Bits = QByteArray::fromHex("0185808080808080808002") + '\0';
        char sum[2];
        qToLittleEndian(RecordingFormat::checksum(past64Bits.constData(), past64Bits.size()), sum);
        past64Bits.append(sum, 2);
        QTest::newRow("delta near 2^63") << wrapping;
        QTest::newRow("gap of 2^55 us") << centuries;
        QTest::newRow("bits beyond 64") << past64Bits;
    }

    void timesBeyondWhatADateCanShowAreDamage()
    {
        QFETCH(QByteArray, hostile);
        RecordingFormat::Header header;
        header.startMsUtc = 1733650000123;
        QByteArray bytes = RecordingFormat::encodeHeader(header);
        RecordingFormat::appendRecord(bytes, RecordKind::Report, 1000, report(0, "\x01"));
        const int offset = bytes.size();
        bytes += hostile;
        RecordingFormat::appendRecord(bytes, RecordKind::Report, 1000, report(0, "\x02"));
        writeAll(path("hostile.tvxr"), bytes);

        RecordingReader reader;
        QVERIFY(reader.open(path("hostile.tvxr")));
        const QList<RecordingReader::Record> records = readEvery(reader);
        QCOMPARE(records.size(), 1);
        QCOMPARE(records.first().timeUs, quint64(1000));
        QCOMPARE(reader.status(), RecordingReader::Status::Corrupt);
        QVERIFY2(reader.errorString().contains(QStringLiteral("record at byte %1 is damaged").arg(offset)),
                 qPrintable(reader.errorString()));
    }

    void filesThatAreNoRecordingFailToOpen_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says");
        const QByteArray good = readAll(writeSample());
        QByteArray newer = good;
        newer[8] = 2;
        QByteArray badHeader = good;
        badHeader[20] = char(badHeader[20] ^ 1);
        QTest::newRow("empty") << QByteArray() << int(RecordingReader::Status::Foreign) << "not a recording";
        QTest::newRow("text") << QByteArray("time,elapsed_s\n") << int(RecordingReader::Status::Foreign)
                              << "not a recording";
        QTest::newRow("newer version") << newer << int(RecordingReader::Status::Foreign) << "version 2";
        QTest::newRow("header cut") << good.left(30) << int(RecordingReader::Status::Truncated) << "cut off";
        QTest::newRow("header damaged") << badHeader << int(RecordingReader::Status::Corrupt) << "damaged";
        RecordingFormat::Header beforeAnyDate;
        beforeAnyDate.startMsUtc = std::numeric_limits<qint64>::min();
        QTest::newRow("start no date") << RecordingFormat::encodeHeader(beforeAnyDate)
                                       << int(RecordingReader::Status::Corrupt) << "byte 16: the start time";
    }

    void filesThatAreNoRecordingFailToOpen()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, status);
        QFETCH(QString, says);
        writeAll(path("other.bin"), content);
        RecordingReader reader;
        QVERIFY(!reader.open(path("other.bin")));
        QCOMPARE(int(reader.status()), status);
        QVERIFY2(reader.errorString().contains(says), qPrintable(reader.errorString()));
        RecordingReader::Record record;
        QVERIFY(!reader.next(record));

        QVERIFY(!reader.open(path("missing.tvxr")));
        QCOMPARE(reader.status(), RecordingReader::Status::Unreadable);
    }
};

QTEST_GUILESS_MAIN(TestRecordingFile)
#include "tst_recordingfile.moc"
