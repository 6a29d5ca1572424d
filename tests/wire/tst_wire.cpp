// Wire codec, OLE dates, database date texts and the server's selection parsing.
#include "codec.h"
#include "piecesender.h"
#include "selection.h"
#include "sqlpacket.h"

#include <QBuffer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QCborStreamWriter>
#include <QCborValue>
#include <QSqlQuery>
#include <QTest>
#include <QThread>
#include <QtEndian>
#include <atomic>
#include <cmath>
#include <fcntl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace wire;

class TstWire : public QObject {
    Q_OBJECT
private slots:
    void callRoundTrip();
    void helloCarriesTheOperatorWithinBounds_data();
    void helloCarriesTheOperatorWithinBounds();
    void readErrorIsNeverAShorterPacket();
    void replyRoundTripKeepsKindsAndNulls();
    void preEncodedPacketReadsLikeBuiltOne();
    void errorReply();
    void compactRowsReadAndChangeInPlace();
    void textThatIsNotUtf8IsRefused();
    void malformedInputIsRefused_data();
    void malformedInputIsRefused();
    void framesAndSizeLimit();
    void piecesReadAsTheWholeReply_data();
    void piecesReadAsTheWholeReply();
    void rowsInOtherCborFormsReadAlike();
    void piecesThatCannotBeAReplyAreRefused_data();
    void piecesThatCannotBeAReplyAreRefused();
    void failureAfterPiecesReadsAsTheError();
    void valuesAndShapesNoReplyMayHave_data();
    void valuesAndShapesNoReplyMayHave();
    void aPeerThatTricklesRunsOutOfTime_data();
    void aPeerThatTricklesRunsOutOfTime();
    void piecesASocketCannotTakeYetFollowInOrder();
    void senderEndsWhatWouldPassItsCapOrHasNoClient();
    void numbersADesktopCannotTakeGoEmpty_data();
    void numbersADesktopCannotTakeGoEmpty();
    void oleDates_data();
    void oleDates();
    void databaseDateTexts_data();
    void databaseDateTexts();
    void selections_data();
    void selections();
};

void TstWire::helloCarriesTheOperatorWithinBounds_data()
{
    QTest::addColumn<QByteArray>("cbor");
    QTest::addColumn<bool>("read");
    QTest::addColumn<QString>("op");
    const auto hello = [](const QVariantMap &m) { return QCborValue::fromVariant(m).toCbor(); };
    QTest::newRow("token only") << wire::encodeHello({"t", true}) << true << "";
    QTest::newRow("an operator") << wire::encodeHello({"t", false, "OPER001", "s3nh@"}) << true << "OPER001";
    QTest::newRow("operator without password") << hello({{"hello", "t"}, {"operator", "OPER001"}}) << false << "";
    QTest::newRow("password without operator") << hello({{"hello", "t"}, {"password", "x"}}) << false << "";
    QTest::newRow("empty operator") << hello({{"hello", "t"}, {"operator", ""}, {"password", "x"}}) << false << "";
    QTest::newRow("operator too long") << hello({{"hello", "t"}, {"operator", QString(13, 'A')}, {"password", "x"}}) << false << "";
    QTest::newRow("password too long") << hello({{"hello", "t"}, {"operator", "A"}, {"password", QString(1025, 'x')}}) << false << "";
    QTest::newRow("operator not a text") << hello({{"hello", "t"}, {"operator", 7}, {"password", "x"}}) << false << "";
}

void TstWire::helloCarriesTheOperatorWithinBounds()
{
    QFETCH(QByteArray, cbor);
    QFETCH(bool, read);
    QFETCH(QString, op);
    const auto h = wire::decodeHello(cbor);
    QCOMPARE(bool(h), read);
    if (!h) return;
    QCOMPARE(h->token, QString("t"));
    QCOMPARE(h->operatorName, op);
    QCOMPARE(h->password, op.isEmpty() ? QString() : QString("s3nh@"));
}

void TstWire::callRoundTrip()
{
    Call c{"Trq01300.rdmHistoricoBem", "GetHistoricoOpBem", {}};
    Arg t; t.text = "01";
    Arg r; r.kind = ArgKind::TextRef; r.text = "'A''B','C'";
    Arg d; d.kind = ArgKind::Date; d.date = 45123.5;
    Arg e; e.kind = ArgKind::Date; e.dateEmpty = true;
    c.args = {t, r, d, e};
    const auto back = decodeCall(encodeCall(c));
    QVERIFY(back);
    QCOMPARE(back->object, c.object);
    QCOMPARE(back->method, c.method);
    QCOMPARE(back->args.size(), 4);
    QCOMPARE(back->args[1].kind, ArgKind::TextRef);
    QCOMPARE(back->args[1].text, r.text);
    QCOMPARE(back->args[2].date, 45123.5);
    QVERIFY(!back->args[2].dateEmpty);
    QVERIFY(back->args[3].dateEmpty);
}

namespace {
DataPacket samplePacket()
{
    DataPacket p;
    p.fields = {{"CODE", FieldKind::String, 10}, {"MARK", FieldKind::FixedString, 1},
                {"VALUE", FieldKind::Float, 0}, {"DT", FieldKind::DateTime, 0}};
    p.rows = {{"Ação", "S", 1234.5, 45000.25}, {QVariant(), QVariant(), QVariant(), QVariant()}, {"", "N", -0.0, 0.0}};
    return p;
}
}  // namespace

void TstWire::replyRoundTripKeepsKindsAndNulls()
{
    Reply r;
    r.refs = {"T", "", "_1_2_"};
    r.packet = samplePacket();
    const auto back = decodeReply(encodeReply(r));
    QVERIFY(back && back->ok());
    QCOMPARE(back->refs, r.refs);
    QCOMPARE(back->packet.fields.size(), 4);
    QCOMPARE(back->packet.fields[1].kind, FieldKind::FixedString);
    QCOMPARE(back->packet.fields[0].width, 10);
    QCOMPARE(back->packet.rows[0][0].toString(), QString("Ação"));
    QCOMPARE(back->packet.rows[0][2].toDouble(), 1234.5);
    QCOMPARE(back->packet.rows[0][3].toDouble(), 45000.25);
    for (const QVariant &v : back->packet.rows[1]) QVERIFY(v.isNull());
    QCOMPARE(back->packet.rows[2][0].toString(), QString(""));  // empty text is not null
    QVERIFY(!back->packet.rows[2][0].isNull());
}

void TstWire::preEncodedPacketReadsLikeBuiltOne()
{
    const DataPacket p = samplePacket();
    Reply r;
    r.refs = {"x"};
    PacketWriter pw(&r.packetCbor, p.fields);
    for (const Row &row : p.rows) {
        pw.beginRow();
        for (int i = 0; i < row.size(); ++i) pw.cell(i, row[i]);
    }
    pw.finish();
    QByteArray framed;
    QBuffer buf(&framed);
    buf.open(QIODevice::WriteOnly);
    QVERIFY(writeReply(&buf, r, 1000));
    buf.close();
    buf.open(QIODevice::ReadOnly);
    QByteArray payload;
    QCOMPARE(readFrame(&buf, &payload, kMaxFrameBytes, 100), ReadStatus::Ok);
    const auto back = decodeReply(payload);
    QVERIFY(back);
    QCOMPARE(back->refs, QVector<QString>({"x"}));
    QCOMPARE(back->packet.rows.size(), 3);
    QCOMPARE(back->packet.rows[0][0].toString(), QString("Ação"));
    QVERIFY(back->packet.rows[1][2].isNull());
}

// Rows are kept encoded: what was read comes back cell by cell, changes stay
// with the copy that made them, and a row that grows moves without touching
// the others.
void TstWire::compactRowsReadAndChangeInPlace()
{
    const QString longText = QString(300, QChar(0xE9));  // 600 UTF-8 bytes
    Reply r;
    r.packet.fields = {{"NOME", FieldKind::String, 40}, {"VALOR", FieldKind::Float, 0},
                       {"DATA", FieldKind::DateTime, 0}, {"OBS", FieldKind::String, 400}};
    r.packet.rows << Row{"Ação", 1.5, QVariant(), longText} << Row{"", QVariant(), 45000.0, QVariant()};
    const auto back = decodeReply(encodeReply(r));
    QVERIFY(back);
    Rows rows = back->packet.rows;
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.value(0, 0), QVariant("Ação"));
    QCOMPARE(rows.value(0, 3).toString(), longText);
    QVERIFY(rows.value(0, 2).isNull());
    QVERIFY(rows.value(0, 9).isNull());  // past the row's end
    QVarLengthArray<Rows::CellView, 64> cells;
    rows.cellsOf(0, &cells);
    QCOMPARE(cells.size(), 4);
    QCOMPARE(cells[0].utf8, QByteArrayView("Ação"));
    QCOMPARE(cells[1].kind, Rows::CellView::Number);
    QCOMPARE(cells[2].kind, Rows::CellView::Null);
    QCOMPARE(cells[3].utf8.size(), 600);

    const qsizetype before = rows.byteSize();
    rows.setValue(1, 1, 7.25);           // an empty number set where it is
    rows.setValue(0, 2, 45001.5);
    QCOMPARE(rows.byteSize(), before);
    rows.setValue(0, 0, "Ação bem maior que antes");  // the row grows and moves
    QCOMPARE(rows.value(0, 2).toDouble(), 45001.5);
    rows.setValue(0, 3, QVariant());
    QCOMPARE(rows.at(0), Row({"Ação bem maior que antes", 1.5, 45001.5, QVariant()}));
    QCOMPARE(rows.at(1), Row({"", 7.25, 45000.0, QVariant()}));
    // A number and a date that came from the server, cleared where they are,
    // read back empty (not 0, the date of 30/12/1899).
    Rows cleared = back->packet.rows;
    cleared.setValue(0, 1, QVariant());
    cleared.setValue(1, 2, QVariant());
    QVERIFY(cleared.value(0, 1).isNull());
    QVERIFY(cleared.value(1, 2).isNull());
    QCOMPARE(cleared.at(1), Row({"", QVariant(), QVariant(), QVariant()}));
    cleared.cellsOf(1, &cells);
    QCOMPARE(cells[2].kind, Rows::CellView::Null);
    Reply resent;
    resent.packet.fields = back->packet.fields;
    resent.packet.rows = cleared;
    const auto again = decodeReply(encodeReply(resent));
    QVERIFY(again);
    QVERIFY(again->packet.rows.value(0, 1).isNull());
    QVERIFY(again->packet.rows.value(1, 2).isNull());
    // A text over one of as many bytes (a mark "N" made "S") is written where
    // it is; one of as many letters but other bytes moves the row.
    Rows marked = back->packet.rows;
    const qsizetype markedSize = marked.byteSize();
    marked.setValue(0, 0, "Açôo");
    QCOMPARE(marked.byteSize(), markedSize);
    QCOMPARE(marked.value(0, 0), QVariant("Açôo"));
    marked.setValue(0, 0, "Acao");
    QCOMPARE(marked.at(0), Row({"Acao", 1.5, QVariant(), longText}));
    // The packet read keeps what it had.
    QCOMPARE(back->packet.rows.at(0), Row({"Ação", 1.5, QVariant(), longText}));
    QVERIFY(back->packet.rows.value(1, 1).isNull());
    // Rows that grow again and again do not pile up their old bytes.
    for (int i = 0; i < 300; ++i) rows.setValue(1, 0, QString(i, 'x'));
    QCOMPARE(rows.value(1, 0).toString(), QString(299, 'x'));
    QCOMPARE(rows.value(0, 0).toString(), QString("Ação bem maior que antes"));
    QVERIFY2(rows.byteSize() < 4 * 1024, qPrintable(QString::number(rows.byteSize())));
}

void TstWire::textThatIsNotUtf8IsRefused()
{
    QByteArray cbor;
    QCborStreamWriter w(&cbor);
    w.startMap(1);
    w.append(QLatin1StringView("p"));
    w.startMap(2);
    w.append(QLatin1StringView("f"));
    w.startArray(1);
    w.startArray(3);
    w.append(QLatin1StringView("NOME"));
    w.append(quint64(1));
    w.append(qint64(10));
    w.endArray();
    w.endArray();
    w.append(QLatin1StringView("r"));
    w.startArray(1);
    w.startArray(1);
    w.appendTextString("a\xff\xfe", 3);
    w.endArray();
    w.endArray();
    w.endMap();
    w.endMap();
    QString why;
    QVERIFY(!decodeReply(cbor, &why));
    QCOMPARE(why, QString("valor de texto inválido"));
}

void TstWire::errorReply()
{
    Reply r;
    r.error = ErrorCode::BadValue;
    r.message = "Empresa '99' não cadastrada.";
    const auto back = decodeReply(encodeReply(r));
    QVERIFY(back);
    QCOMPARE(back->error, ErrorCode::BadValue);
    QCOMPARE(back->message, r.message);
}

void TstWire::malformedInputIsRefused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("not cbor") << QByteArray("\xff\xfe\x00", 3);
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("array instead of map") << QByteArray::fromHex("8101");
    QTest::newRow("map without method") << QByteArray::fromHex("a1616f6161");
    // {"o":"a","m":"b","a":[[9,"x"]]}: unknown argument kind
    QTest::newRow("unknown argument kind") << QByteArray::fromHex("a3616f6161616d6162616181820961 78");
    // {"o":"a","m":"b","a":[[3,"x"]]}: date given as text
    QTest::newRow("date as text") << QByteArray::fromHex("a3616f6161616d6162616181820361 78");
}

void TstWire::malformedInputIsRefused()
{
    QFETCH(QByteArray, bytes);
    QString why;
    QVERIFY(!decodeCall(bytes, &why));
    QVERIFY(!why.isEmpty());
}

void TstWire::framesAndSizeLimit()
{
    QByteArray data = frame("abc") + frame(QByteArray(100, 'z'));
    QBuffer buf(&data);
    buf.open(QIODevice::ReadOnly);
    QByteArray p;
    QCOMPARE(readFrame(&buf, &p, 1000, 10), ReadStatus::Ok);
    QCOMPARE(p, QByteArray("abc"));
    QCOMPARE(readFrame(&buf, &p, 50, 10), ReadStatus::TooLarge);
    // A piece's mark reads as a length too large to a reader of whole frames.
    QByteArray marked = frame("abc");
    marked[0] = char(0x80);
    QBuffer old(&marked);
    old.open(QIODevice::ReadOnly);
    QCOMPARE(readFrame(&old, &p, kMaxFrameBytes, 10), ReadStatus::TooLarge);
}

namespace {
// Rows of every kind: multi-byte texts, empty and null cells, negative and
// fractional numbers, dates with a time.
Reply manyRows(int n)
{
    Reply r;
    r.refs = {"T", "", "_1_2_"};
    r.packet.fields = {{"CODE", FieldKind::String, 10}, {"MARK", FieldKind::FixedString, 1},
                       {"VALUE", FieldKind::Float, 0}, {"DT", FieldKind::DateTime, 0}, {"OBS", FieldKind::String, 200}};
    for (int i = 0; i < n; ++i)
        r.packet.rows << Row{QString("Ação %1").arg(i), i % 3 ? QVariant("S") : QVariant(), i % 5 ? QVariant(-1234.5 * i) : QVariant(),
                             45000.25 + i, QString(i % 7, QChar(0x20AC))};
    return r;
}

// A reply sent the way the server sends a large one: its rows given to a
// PieceSender every pieceBytes while they are written, every frame gathered
// as it would go out; refused as the server refuses one over cap.
// fd: the pieces go straight onto that socket instead, and out holds what
// it did not take.
QByteArray sentInPieces(const Reply &whole, qsizetype pieceBytes, qint64 cap = kMaxFrameBytes, int fd = -1)
{
    QByteArray out;
    appsrv::PieceSender sender(fd, cap, [&out](QByteArray b) { out += b; });
    Reply r;
    r.refs = whole.refs;
    PacketWriter pw(&r.packetCbor, whole.packet.fields);
    pw.streamTo([&](QByteArrayView b) { return sender.piece(r.refs, b); }, pieceBytes);
    for (const Row &row : whole.packet.rows) {
        pw.beginRow();
        if (!pw.flowing()) {
            r = appsrv::errorReply(ErrorCode::BadValue, QString::fromUtf8(kReplyTooLargeMessage));
            break;
        }
        for (int i = 0; i < row.size(); ++i) pw.cell(i, row[i]);
    }
    if (r.ok()) pw.finish();
    Reply failed;
    out += sender.started() ? sender.finish(r, &failed) : replyFrame(r);
    return out;
}

QByteArray markedFrame(quint32 marks, const QByteArray &payload) { return lengthWord(marks, payload.size()) + payload; }

// The head of a packet of these fields, as the writer makes it.
QByteArray packetHead(const QVector<FieldDef> &fields)
{
    QByteArray out;
    PacketWriter pw(&out, fields);
    return out.left(pw.bytes());
}
}  // namespace

// Whatever the size of the pieces, the reply read from them is the one a
// whole frame gives; with pieces larger than the reply it is a whole frame.
void TstWire::piecesReadAsTheWholeReply_data()
{
    QTest::addColumn<int>("pieceBytes");
    QTest::addColumn<bool>("inPieces");
    QTest::newRow("a row a piece") << 1 << true;
    QTest::newRow("a few rows a piece") << 300 << true;
    QTest::newRow("large pieces") << 5000 << true;
    QTest::newRow("whole") << (1 << 30) << false;
}

void TstWire::piecesReadAsTheWholeReply()
{
    QFETCH(int, pieceBytes);
    QFETCH(bool, inPieces);
    const Reply whole = manyRows(300);
    const auto expected = decodeReply(encodeReply(whole));
    QVERIFY(expected);
    QByteArray bytes = sentInPieces(whole, pieceBytes) + replyFrame(manyRows(2));
    QBuffer buf(&bytes);
    buf.open(QIODevice::ReadOnly);
    Reply got;
    QString why;
    int pieces = 0;
    qsizetype rowsSeen = 0;
    QCOMPARE(readReply(&buf, &got, 100, &why, [&](Reply &r) {
                 ++pieces;
                 rowsSeen = r.packet.rows.size();
             }),
             ReadStatus::Ok);
    QVERIFY2(why.isEmpty(), qPrintable(why));
    QCOMPARE(pieces > 1, inPieces);
    QCOMPARE(rowsSeen, inPieces ? 300 : 0);
    QCOMPARE(got.refs, expected->refs);
    QCOMPARE(got.packet.fields.size(), expected->packet.fields.size());
    for (int i = 0; i < got.packet.fields.size(); ++i) {
        QCOMPARE(got.packet.fields[i].name, expected->packet.fields[i].name);
        QCOMPARE(got.packet.fields[i].kind, expected->packet.fields[i].kind);
        QCOMPARE(got.packet.fields[i].width, expected->packet.fields[i].width);
    }
    QVERIFY(got.packet.rows == expected->packet.rows);
    QCOMPARE(got.packet.rows.value(299, 0), QVariant("Ação 299"));
    // Exactly the reply was read: the next one follows intact.
    QCOMPARE(readReply(&buf, &got, 100, &why), ReadStatus::Ok);
    QCOMPARE(got.packet.rows.size(), 2);
}

// Every CBOR form a number or a text may take reads in a piece as it reads
// in a whole reply.
void TstWire::rowsInOtherCborFormsReadAlike()
{
    const QVector<FieldDef> fields = {{"A", FieldKind::Float, 0}, {"B", FieldKind::Float, 0}, {"C", FieldKind::Float, 0},
                                      {"D", FieldKind::DateTime, 0}, {"E", FieldKind::String, 5}, {"F", FieldKind::String, 5},
                                      {"G", FieldKind::Float, 0}};
    // 7, -3, 1.5 (single), 2.0 (half), undefined, "ab"+"c" in chunks, a large integer.
    const QByteArray row = QByteArray::fromHex("87" "07" "22" "fa3fc00000" "f94000" "f7" "7f626162" "6163" "ff" "1b0000000100000000");
    Reply head;
    head.refs = {"x"};
    const QByteArray start = replyHead(head) + packetHead(fields);
    QByteArray bytes = markedFrame(kPieceBit, start + row) + markedFrame(0, row + QByteArray(1, char(0xFF)));
    QBuffer buf(&bytes);
    buf.open(QIODevice::ReadOnly);
    Reply got;
    QString why;
    QCOMPARE(readReply(&buf, &got, 100, &why), ReadStatus::Ok);
    const auto whole = decodeReply(start + row + row + QByteArray(1, char(0xFF)));
    QVERIFY(whole);
    QCOMPARE(got.packet.rows.size(), 2);
    QVERIFY(got.packet.rows == whole->packet.rows);
    QCOMPARE(got.packet.rows[1], Row({7.0, -3.0, 1.5, 2.0, QVariant(), "abc", 4294967296.0}));
}

void TstWire::piecesThatCannotBeAReplyAreRefused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("why");
    const QVector<FieldDef> fields = {{"V", FieldKind::Float, 0}, {"T", FieldKind::String, 5}};
    Reply refs;
    const QByteArray start = replyHead(refs) + packetHead(fields);
    const QByteArray row = QByteArray::fromHex("82" "fb3ff0000000000000" "6161"), end(1, char(0xFF));
    const int unreadable = int(ReadStatus::Unreadable);
    QTest::newRow("a piece ends inside a row")
        << markedFrame(kPieceBit, start + row.left(5)) + markedFrame(0, row.mid(5) + end) << unreadable
        << "valor numérico inválido";
    QTest::newRow("the rows end before the last piece")
        << markedFrame(kPieceBit, start + row + end) + markedFrame(0, end) << unreadable << "pacote ilegível";
    QTest::newRow("the last piece without the rows' end")
        << markedFrame(kPieceBit, start + row) + markedFrame(0, row) << unreadable << "pacote ilegível";
    QTest::newRow("text in a number field")
        << markedFrame(kPieceBit, start) + markedFrame(0, QByteArray::fromHex("82" "6161" "6161") + end) << unreadable
        << "valor numérico inválido";
    QTest::newRow("number in a text field")
        << markedFrame(kPieceBit, start) + markedFrame(0, QByteArray::fromHex("82" "01" "01") + end) << unreadable
        << "valor de texto inválido";
    QTest::newRow("text that is not UTF-8")
        << markedFrame(kPieceBit, start) + markedFrame(0, QByteArray::fromHex("82" "01" "62fffe") + end) << unreadable
        << "valor de texto inválido";
    QTest::newRow("a cell too many")
        << markedFrame(kPieceBit, start) + markedFrame(0, QByteArray::fromHex("83" "01" "6161" "01") + end) << unreadable
        << "linha com número de colunas errado";
    QTest::newRow("fields after the rows")
        << markedFrame(kPieceBit, replyHead(refs) + QByteArray::fromHex("a2" "6172" "9f")) + markedFrame(0, end)
        << unreadable << "pacote ilegível";
    QByteArray emptyPieces;
    for (int i = 0; i < 1000; ++i) emptyPieces += markedFrame(kPieceBit, {});
    QTest::newRow("pieces without rows after the first")
        << markedFrame(kPieceBit, start) + emptyPieces + markedFrame(0, row + end) << unreadable << "pacote ilegível";
    QTest::newRow("abandon with no piece before")
        << markedFrame(kAbandonBit, encodeReply(appsrv::errorReply(ErrorCode::BadValue, "x"))) << unreadable
        << "resposta ilegível";
    QTest::newRow("abandon carrying a success")
        << markedFrame(kPieceBit, start + row) + markedFrame(kAbandonBit, encodeReply(Reply{})) << unreadable
        << "resposta ilegível";
    // Pieces add up to no more than a whole reply may be.
    const QVector<FieldDef> text = {{"T", FieldKind::String, 0}};
    const QByteArray big(kMaxFrameBytes / 2, 'a');
    QByteArray bigRow = QByteArray::fromHex("81" "7a") + QByteArray(4, '\0') + big;
    qToBigEndian<quint32>(quint32(big.size()), bigRow.data() + 2);
    QTest::newRow("pieces larger than a reply")
        << markedFrame(kPieceBit, replyHead(refs) + packetHead(text) + bigRow) + markedFrame(kPieceBit, bigRow) +
               markedFrame(0, end)
        << int(ReadStatus::TooLarge) << "";
}

void TstWire::piecesThatCannotBeAReplyAreRefused()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, status);
    QFETCH(QString, why);
    QBuffer buf(&bytes);
    buf.open(QIODevice::ReadOnly);
    Reply got;
    QString reason;
    QCOMPARE(int(readReply(&buf, &got, 100, &reason)), status);
    QCOMPARE(reason, why);
}

// Read whole or in pieces alike: no NaN, infinity or date outside years
// 100-9999 (a date would be no day at all), no rows without fields (each
// would take a byte on the wire and far more in memory), no key twice.
void TstWire::valuesAndShapesNoReplyMayHave_data()
{
    QTest::addColumn<QByteArray>("whole");
    QTest::addColumn<QByteArray>("pieces");
    QTest::addColumn<QString>("why");
    const QVector<FieldDef> fields = {{"D", FieldKind::DateTime, 0}, {"V", FieldKind::Float, 0}};
    const QByteArray start = replyHead(Reply{}) + packetHead(fields), end(1, char(0xFF));
    const auto row = [&](const char *dateHex, const char *valueHex) {
        return QByteArray::fromHex("82") + QByteArray::fromHex(dateHex) + QByteArray::fromHex(valueHex);
    };
    const auto both = [&](const char *name, const QByteArray &r, const QString &why) {
        QTest::newRow(name) << start + r + end << markedFrame(kPieceBit, start) + markedFrame(0, r + end) << why;
    };
    const QString number = "valor numérico inválido";
    both("a NaN date", row("f97e00", "01"), number);
    both("an infinite value", row("01", "f97c00"), number);
    both("a NaN value", row("01", "fb7ff8000000000000"), number);
    both("a date past 9999", row("1a002d2482", "01"), number);      // 2,958,466 days: 1 January 10000
    both("a date before year 100", row("3a000a081a", "01"), number);  // -657,435 days
    both("a date beyond any integer", row("fb426d1a94a2000000", "01"), number);  // 1e12
    const QByteArray noFields = replyHead(Reply{}) + packetHead({});
    QTest::newRow("rows without fields") << noFields + QByteArray::fromHex("80" "80") + end
                                         << markedFrame(kPieceBit, noFields) + markedFrame(0, QByteArray::fromHex("80") + end)
                                         << "linha com número de colunas errado";
    // {"refs":[],"p":{"f":[["A",3,0]],"r":[[1]],"f":[["B",3,0]]}}
    QTest::newRow("fields twice") << QByteArray::fromHex("a2" "64" "72656673" "80" "61" "70" "a3" "6166" "81" "83" "6141" "03" "00"
                                                         "6172" "81" "81" "01" "6166" "81" "83" "6142" "03" "00")
                                  << QByteArray() << "pacote ilegível";
    // {"refs":["a"],"refs":["b"]}
    QTest::newRow("refs twice") << QByteArray::fromHex("a2" "64" "72656673" "81" "6161" "64" "72656673" "81" "6162") << QByteArray()
                                << "resposta ilegível";
}

void TstWire::valuesAndShapesNoReplyMayHave()
{
    QFETCH(QByteArray, whole);
    QFETCH(QByteArray, pieces);
    QFETCH(QString, why);
    QString reason;
    QVERIFY(!decodeReply(whole, &reason));
    QCOMPARE(reason, why);
    if (pieces.isEmpty()) return;
    QBuffer buf(&pieces);
    buf.open(QIODevice::ReadOnly);
    Reply got;
    reason.clear();
    QCOMPARE(readReply(&buf, &got, 100, &reason), ReadStatus::Unreadable);
    QCOMPARE(reason, why);
}

// A reply that passes its cap after pieces went out reads as the refusal,
// never as the rows that came, and the next reply reads intact.
void TstWire::failureAfterPiecesReadsAsTheError()
{
    const Reply whole = manyRows(300);
    QByteArray bytes = sentInPieces(whole, 500, 4000) + replyFrame(manyRows(1));
    QBuffer buf(&bytes);
    buf.open(QIODevice::ReadOnly);
    Reply got;
    QString why;
    int pieces = 0;
    QCOMPARE(readReply(&buf, &got, 100, &why, [&](Reply &) { ++pieces; }), ReadStatus::Ok);
    QVERIFY(pieces > 1);
    QCOMPARE(got.error, ErrorCode::BadValue);
    QCOMPARE(got.message, QString::fromUtf8(kReplyTooLargeMessage));
    QVERIFY(got.packet.rows.isEmpty());
    QVERIFY(got.refs.isEmpty());
    QCOMPARE(readReply(&buf, &got, 100, &why), ReadStatus::Ok);
    QVERIFY(got.ok());
    QCOMPARE(got.packet.rows.size(), 1);
}

void TstWire::numbersADesktopCannotTakeGoEmpty_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QVariant>("sent");
    const int date = int(FieldKind::DateTime), number = int(FieldKind::Float);
    QTest::newRow("a date of year 20") << QVariant("0020-05-01") << date << QVariant();
    QTest::newRow("a date of year 20000") << QVariant(QDate(20000, 1, 1)) << date << QVariant();
    QTest::newRow("a date of 9999") << QVariant("9999-12-31") << date << QVariant(2958465.0);
    QTest::newRow("a date of 2000") << QVariant("2000-01-01") << date << QVariant(36526.0);
    QTest::newRow("NaN") << QVariant(std::nan("")) << number << QVariant();
    QTest::newRow("infinity") << QVariant(-HUGE_VAL) << number << QVariant();
    QTest::newRow("a number") << QVariant(1.5) << number << QVariant(1.5);
}

// What the database holds and no desktop would read goes as an empty cell,
// in a packet built whole or written row by row, and the reply stays readable.
void TstWire::numbersADesktopCannotTakeGoEmpty()
{
    QFETCH(QVariant, value);
    QFETCH(int, kind);
    QFETCH(QVariant, sent);
    const FieldKind k = FieldKind(kind);
    QCOMPARE(trq01300::cell(value, k), sent);
    Reply r;
    PacketWriter pw(&r.packetCbor, {{"X", k, 0}});
    pw.beginRow();
    trq01300::writeCell(pw, value, k);
    pw.finish();
    QString why;
    const auto back = decodeReply(encodeReply(r), &why);
    QVERIFY2(back, qPrintable(why));
    QCOMPARE(back->packet.rows.value(0, 0), sent);
}

void TstWire::oleDates_data()
{
    QTest::addColumn<QDateTime>("dt");
    QTest::addColumn<double>("ole");
    QTest::newRow("epoch") << QDateTime(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC) << 0.0;
    QTest::newRow("2000") << QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC) << 36526.0;
    QTest::newRow("noon") << QDateTime(QDate(2000, 1, 1), QTime(12, 0), Qt::UTC) << 36526.5;
    QTest::newRow("before epoch, 6h") << QDateTime(QDate(1899, 12, 29), QTime(6, 0), Qt::UTC) << -1.25;
    // Brazil once began summer time at midnight: dates must not depend on the zone.
    QTest::newRow("dst midnight") << QDateTime(QDate(2018, 11, 4), QTime(0, 0), Qt::UTC) << 43408.0;
    QTest::newRow("last day of 9999") << QDateTime(QDate(9999, 12, 31), QTime(0, 0), Qt::UTC) << 2958465.0;
    QTest::newRow("first day of 100") << QDateTime(QDate(100, 1, 1), QTime(0, 0), Qt::UTC) << -657434.0;
}

void TstWire::oleDates()
{
    QFETCH(QDateTime, dt);
    QFETCH(double, ole);
    QCOMPARE(toOleDate(dt), ole);
    QCOMPARE(fromOleDate(ole), dt);
    // Past either end, or no number at all, is no date.
    for (double beyond : {2958466.0, -657435.0, 1e300, std::nan(""), HUGE_VAL})
        QVERIFY2(!fromOleDate(beyond).isValid(), qPrintable(QString::number(beyond)));
}

void TstWire::databaseDateTexts_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<double>("ole");
    QTest::newRow("date") << QVariant("2000-01-01") << 36526.0;
    QTest::newRow("timestamp") << QVariant("2000-01-01 18:00:00") << 36526.75;
    QTest::newRow("iso T, fraction") << QVariant("2000-01-01T06:00:00.000") << 36526.25;
    QTest::newRow("QDate") << QVariant(QDate(2000, 1, 2)) << 36527.0;
    QTest::newRow("bad month") << QVariant("2000-13-01") << std::nan("");
    QTest::newRow("garbage") << QVariant("ontem") << std::nan("");
    QTest::newRow("null") << QVariant() << std::nan("");
}

void TstWire::databaseDateTexts()
{
    QFETCH(QVariant, value);
    QFETCH(double, ole);
    const double got = oleFromSql(value);
    if (std::isnan(ole)) QVERIFY(std::isnan(got));
    else QCOMPARE(got, ole);
}

void TstWire::selections_data()
{
    QTest::addColumn<QString>("sel");
    QTest::addColumn<QStringList>("codes");
    QTest::newRow("quoted") << "'01','11'" << QStringList({"01", "11"});
    QTest::newRow("doubled quote") << "'A''B','C'" << QStringList({"A'B", "C"});
    QTest::newRow("comma inside") << "'A,B'" << QStringList({"A,B"});
    QTest::newRow("bare list") << "01, 02" << QStringList({"01", "02"});
    QTest::newRow("empty") << "" << QStringList();
    QTest::newRow("unterminated") << "'01','0" << QStringList({"01", "0"});
    QTest::newRow("sql text") << "'x'); DROP TABLE A; --" << QStringList({"x"});
}

void TstWire::selections()
{
    QFETCH(QString, sel);
    QFETCH(QStringList, codes);
    QCOMPARE(trq01300::parseSelection(sel), codes);
}

void TstWire::readErrorIsNeverAShorterPacket()
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "rows");
        db.setDatabaseName(":memory:");
        QVERIFY(db.open());
        // Five rows, then a failure while stepping (an integer overflow on the sixth).
        QSqlQuery q(db);
        q.setForwardOnly(true);
        QVERIFY(q.exec("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 10) "
                       "SELECT CASE WHEN x > 5 THEN abs(-9223372036854775807 - 1) ELSE x END FROM c"));
        bool failed = false;
        try {
            trq01300::readPacket(q, {{"X", wire::FieldKind::Float, 0}});
        } catch (const trq01300::DbError &) {
            failed = true;
        }
        QVERIFY2(failed, "five rows and an error must not come back as a packet of five rows");
        QVERIFY(q.exec("SELECT 1 UNION ALL SELECT 2"));
        QCOMPARE(trq01300::readPacket(q, {{"X", wire::FieldKind::Float, 0}}).rows.size(), 2);
    }
    QSqlDatabase::removeDatabase("rows");
}

void TstWire::aPeerThatTricklesRunsOutOfTime_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::addColumn<int>("chunk");
    QTest::addColumn<int>("everyMs");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("arrives");
    // Read with 500 ms of patience; the trickle would end after about 3 s.
    QTest::newRow("tcp, a byte at a time") << true << 1 << 60 << 40 << false;
    QTest::newRow("qt's path, a byte at a time") << false << 1 << 60 << 40 << false;
    QTest::newRow("tcp, a slow link that keeps coming") << true << 64 * 1024 << 400 << 320 * 1024 << true;
    QTest::newRow("qt's path, a slow link that keeps coming") << false << 64 * 1024 << 400 << 320 * 1024 << true;
    // 8 KB a second, the reply twice the wait long.
    QTest::newRow("tcp, a line of 64 kbit/s") << true << 800 << 100 << 8 * 1024 << true;
}

// Each byte that comes no longer restarts the wait: a peer that trickles
// runs out of time; a link that keeps bringing bytes does not.
void TstWire::aPeerThatTricklesRunsOutOfTime()
{
    QFETCH(bool, tcp);
    QFETCH(int, chunk);
    QFETCH(int, everyMs);
    QFETCH(int, size);
    QFETCH(bool, arrives);
    Reply big;
    big.refs = {QString(size, 'z')};
    const QByteArray bytes = replyFrame(big);
    // The reader's socket: plain TCP is read on its descriptor, a local socket through Qt.
    QTcpServer tcpServer;
    QLocalServer localServer;
    QTcpSocket tcpClient;
    QLocalSocket localClient;
    QIODevice *reader = nullptr;
    int writeFd = -1;
    if (tcp) {
        QVERIFY(tcpServer.listen(QHostAddress::LocalHost));
        tcpClient.connectToHost(QHostAddress::LocalHost, tcpServer.serverPort());
        QVERIFY(tcpClient.waitForConnected(3000) && tcpServer.waitForNewConnection(3000));
        writeFd = int(tcpServer.nextPendingConnection()->socketDescriptor());
        reader = &tcpClient;
    } else {
        QLocalServer::removeServer("tst_wire_trickle");
        QVERIFY(localServer.listen("tst_wire_trickle"));
        localClient.connectToServer("tst_wire_trickle");
        QVERIFY(localClient.waitForConnected(3000) && localServer.waitForNewConnection(3000));
        writeFd = int(localServer.nextPendingConnection()->socketDescriptor());
        reader = &localClient;
    }
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (qsizetype at = 0; at < bytes.size() && !stop; at += chunk) {
            if (at > 0) QThread::msleep(everyMs);
            const qsizetype n = std::min<qsizetype>(chunk, bytes.size() - at);
            for (qsizetype done = 0; done < n && !stop;) {
                const ssize_t k = ::send(writeFd, bytes.constData() + at + done, size_t(n - done), MSG_NOSIGNAL);
                if (k <= 0) return;
                done += k;
            }
        }
    });
    Reply got;
    QString why;
    const ReadStatus st = readReply(reader, &got, 500, &why);
    stop = true;
    writer.join();
    QCOMPARE(st, arrives ? ReadStatus::Ok : ReadStatus::Timeout);
    if (arrives) QVERIFY(got.refs == big.refs);
}

QTEST_GUILESS_MAIN(TstWire)
#include "tst_wire.moc"

// Pieces sent straight onto a socket whose reader is slow: what the socket
// does not take waits and goes out later, in order, before the rest.
void TstWire::piecesASocketCannotTakeYetFollowInOrder()
{
    // When the reader makes room falls by chance: a few tries.
    for (int attempt = 0; attempt < 8; ++attempt) {
        int pair[2];
        QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
        const int small = 4096;
        ::setsockopt(pair[0], SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
        ::fcntl(pair[0], F_SETFL, ::fcntl(pair[0], F_GETFL) | O_NONBLOCK);
        // A reader that takes a little now and then, so the socket has room
        // again while bytes still wait: those must go first.
        QByteArray received;
        std::thread reader([&] {
            char chunk[1024];
            for (ssize_t n; (n = ::read(pair[1], chunk, sizeof chunk)) > 0;) {
                received.append(chunk, n);
                QThread::usleep(20);
            }
        });
        const Reply whole = manyRows(4000);  // about 200 KB, far more than the socket holds
        const QByteArray rest = sentInPieces(whole, 300, kMaxFrameBytes, pair[0]);
        QVERIFY(!rest.isEmpty());  // some of it waited
        ::fcntl(pair[0], F_SETFL, ::fcntl(pair[0], F_GETFL) & ~O_NONBLOCK);
        for (qsizetype at = 0; at < rest.size();) {
            const ssize_t n = ::write(pair[0], rest.constData() + at, size_t(rest.size() - at));
            QVERIFY(n > 0);
            at += n;
        }
        ::close(pair[0]);
        reader.join();
        ::close(pair[1]);
        QBuffer buf(&received);
        buf.open(QIODevice::ReadOnly);
        Reply got;
        QString why;
        QCOMPARE(readReply(&buf, &got, 100, &why), ReadStatus::Ok);
        QVERIFY2(why.isEmpty(), qPrintable(why));
        const auto expected = decodeReply(encodeReply(whole));
        QVERIFY(expected);
        QCOMPARE(got.refs, expected->refs);
        QVERIFY(got.packet.rows == expected->packet.rows);
        QVERIFY(buf.atEnd());
    }
}

// The rest of a reply that would take it past its cap after pieces went out
// ends as the refusal; a client gone stops the pieces at once.
void TstWire::senderEndsWhatWouldPassItsCapOrHasNoClient()
{
    const QVector<FieldDef> fields = {{"T", FieldKind::String, 0}};
    const QByteArray row = QByteArray::fromHex("81" "6161"), end(1, char(0xFF));
    QByteArray sent;
    appsrv::PieceSender sender(-1, 400, [&sent](QByteArray b) { sent += b; });
    QVERIFY(sender.piece({}, packetHead(fields) + row));
    Reply rest;
    rest.packetCbor = row.repeated(200) + end;  // the total would pass 400 bytes
    Reply failed;
    sent += sender.finish(rest, &failed);
    QCOMPARE(failed.error, ErrorCode::BadValue);
    QBuffer buf(&sent);
    buf.open(QIODevice::ReadOnly);
    Reply got;
    QString why;
    QCOMPARE(readReply(&buf, &got, 100, &why), ReadStatus::Ok);
    QCOMPARE(got.message, QString::fromUtf8(kReplyTooLargeMessage));
    QVERIFY(got.packet.rows.isEmpty());

    int pair[2];
    QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    ::close(pair[1]);
    appsrv::PieceSender gone(pair[0], kMaxFrameBytes, nullptr);
    QVERIFY(!gone.piece({}, packetHead(fields) + row));
    QVERIFY(gone.finish(rest, &failed).isEmpty());
    ::close(pair[0]);
}
