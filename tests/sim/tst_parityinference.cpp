#include "sim/parityinference.h"

#include <QTest>

using quorlink::Parity;
using quorlink::sim::ParityInference;

namespace {

// Pieces as "m85 m10 s00": parity letter and value of every byte, in order.
QString text(const QList<ParityInference::Piece>& pieces)
{
    QStringList bytes;
    for (const ParityInference::Piece& piece : pieces) {
        const QChar letter = piece.parity == Parity::Mark ? u'm' : u's';
        for (const char byte : piece.bytes)
            bytes << letter + QString::number(static_cast<std::uint8_t>(byte), 16)
                                  .rightJustified(2, u'0');
    }
    return bytes.join(u' ');
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray result;
    for (const int value : values)
        result.append(static_cast<char>(value));
    return result;
}

QString marked(const QByteArray& ascii, char letter)
{
    QStringList out;
    for (const char byte : ascii)
        out << QStringLiteral("%1%2").arg(letter).arg(static_cast<int>(byte), 2, 16, QChar(u'0'));
    return out.join(u' ');
}

} // namespace

// What the switch behind a pseudo-terminal takes for mark and space parity,
// for every exchange the link has with the cards. Each row is fed in the
// pieces the PC might write it in.
class ParityInferenceTest : public QObject
{
    Q_OBJECT

private slots:
    void feed_data()
    {
        QTest::addColumn<QList<QByteArray>>("writes");
        QTest::addColumn<QString>("parities");
        QTest::addColumn<int>("heldBack");
        const QByteArray signature("QLRESET");
        const QByteArray record(":10200000A1B2C3");
        QTest::newRow("version query, a write a byte")
            << QList<QByteArray>{bytes({0x85}), bytes({0x10}), bytes({0x00})} << "m85 m10 s00" << 0;
        QTest::newRow("group download, then a record as data")
            << QList<QByteArray>{bytes({0x82, 0x11, 0x83, 0x11, 0xFF, 0x11, 0x00}), record}
            << "m82 m11 m83 m11 mff m11 s00 " + marked(record, 's') << 0;
        QTest::newRow("reset of two cards, signature before each address")
            << QList<QByteArray>{signature + bytes({0x82, 0xFB}),
                                 signature + bytes({0x83, 0xFB, 0x00})}
            << marked(signature, 'm') + " m82 mfb " + marked(signature, 'm') + " m83 mfb s00" << 0;
        QTest::newRow("signature split over writes")
            << QList<QByteArray>{QByteArray("QLR"), QByteArray("ESET"), bytes({0x85, 0xFB, 0x00})}
            << marked(signature, 'm') + " m85 mfb s00" << 0;
        // Data that happens to start like the signature is data after all.
        QTest::newRow("signature not followed by an address")
            << QList<QByteArray>{signature + QByteArray(":")} << marked(signature + ":", 's') << 0;
        QTest::newRow("broken-off signature, then a whole one")
            << QList<QByteArray>{QByteArray("QLQLRESET") + bytes({0x86, 0xFB, 0x00})}
            << marked("QL", 's') + " " + marked(signature, 'm') + " m86 mfb s00" << 0;
        // Held back until the next byte decides.
        QTest::newRow("signature still open") << QList<QByteArray>{QByteArray("QLRE")} << "" << 4;
    }
    void feed()
    {
        QFETCH(QList<QByteArray>, writes);
        QFETCH(QString, parities);
        QFETCH(int, heldBack);
        ParityInference inference;
        QList<ParityInference::Piece> pieces;
        for (const QByteArray& write : writes)
            pieces += inference.feed(write);
        QCOMPARE(text(pieces), parities);
        QCOMPARE(inference.heldBack(), heldBack);
    }
};

QTEST_GUILESS_MAIN(ParityInferenceTest)
#include "tst_parityinference.moc"
