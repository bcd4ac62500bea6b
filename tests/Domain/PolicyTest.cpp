#include "Domain/CatalogPresentation.h"
#include "Domain/CenterContentPolicy.h"

#include "CandidateNodes.h"
#include "QtPrinters.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <vector>

using namespace sendra;

namespace {

// The fold as it was written first, through QString::normalized() (quadratic in a text's accented letters): the
// reference the linear fold must match character for character.
QString qtNormalizationFold(const QString& text)
{
    bool ascii = true;
    for (const QChar c : text)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii)
        return text.toLower().trimmed();
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    QString withoutMarks;
    for (qsizetype i = 0; i < decomposed.size(); ++i) {
        char32_t codePoint = decomposed.at(i).unicode();
        qsizetype units = 1;
        if (QChar::isHighSurrogate(codePoint) && i + 1 < decomposed.size() && decomposed.at(i + 1).isLowSurrogate()) {
            codePoint = QChar::surrogateToUcs4(decomposed.at(i), decomposed.at(i + 1));
            units = 2;
        }
        if (QChar::category(codePoint) != QChar::Mark_NonSpacing)
            withoutMarks.append(decomposed.constData() + i, units);
        i += units - 1;
    }
    return withoutMarks.toCaseFolded().toLower().normalized(QString::NormalizationForm_C).trimmed();
}

QString codePoint(char32_t c)
{
    // A surrogate code point stands for a lone surrogate, as a QString can hold one.
    return QChar::isSurrogate(c) ? QString(QChar(char16_t(c))) : QStringView(QChar::fromUcs4(c)).toString();
}

QString hex(const QString& text)
{
    QString out;
    for (const QChar c : text)
        out += QString::asprintf("%04X ", c.unicode());
    return out;
}

MediaNode node(const QString& id, const QString& title, const QString& groupID, const QString& groupName,
               SignalKind kind = SignalKind::cinema)
{
    return candidateNode(kind, id, title, groupID, groupName);
}

QStringList ids(const QList<MediaNode>& nodes)
{
    return mapNodes(nodes, &MediaNode::id);
}

MediaNode classified(SignalKind kind, std::optional<QString> classification)
{
    MediaNode n = node(QStringLiteral("1"), QStringLiteral("t"), QString(), QString(), kind);
    n.contentClassification = std::move(classification);
    return n;
}

TEST(CenterContentPolicyTest, NormalisedFormFoldsCaseAccentsAndBlanksAsQtsNormalisationDid)
{
    EXPECT_EQ(CenterContentPolicy::normalize(QStringLiteral("  ÁPICE Niño\t")), QStringLiteral("apice nino"));
    EXPECT_EQ(CenterContentPolicy::normalize(QStringLiteral("İstanbul")), QStringLiteral("istanbul"));
    EXPECT_EQ(CenterContentPolicy::normalize(QStringLiteral("Ça\u0301 va")), QStringLiteral("ca va"));
    EXPECT_EQ(CenterContentPolicy::normalize(QStringLiteral("\u00a0Canal 𝔸\u00a0")), QStringLiteral("canal 𝔸"));
    EXPECT_EQ(CenterContentPolicy::normalize(QString()), QString());

    const QStringList titles{
        QStringLiteral("Películas de Acción"),
        QStringLiteral("ÑANDÚ  Ëxtra "),
        QStringLiteral("Ελληνικά Νέα ΆΈΉΊΌΎΏ ΐΰ"),
        QStringLiteral("ᾼᾷ ῼ Σίσυφος"),
        QStringLiteral("Русский Канал ЁЙ ёй"),
        QStringLiteral("Українська Ї ї Ґ"),
        QStringLiteral("日本のテレビ がぎぐ パピプ"),
        QStringLiteral("中文頻道 豈"),
        QStringLiteral("한국 방송 각 힣"),
        QStringLiteral("\u1100\u1161\u11A8 \u1100\u1161\u11A7"),
        QStringLiteral("a\u0301\u0316\u0327 o\u0308\u0304"),
        QStringLiteral("\u0301\u0316 leading marks"),
        QStringLiteral("ﬁlm ﬂ ﬀ Ǆ ǅ ǆ Ĳ ŉ"),
        QStringLiteral("Straße STRAẞE ß"),
        QStringLiteral("İI ıi"),
        QStringLiteral("MiXeD CaSe ÉcOlE"),
        QStringLiteral("Ω K Å ϴ"),
        QStringLiteral("ᏣᎳᎩ ꮳꮃꭹ"),
        QStringLiteral("கொ বো ো ෝ"),
        QStringLiteral("\U0001D165\U0001D16D\U0001D16E"),
        QStringLiteral("Ｆｕｌｌ ｗｉｄｔｈ"),
        QStringLiteral("𐐀𐐨 𝔸"),
        QStringLiteral("http://h.example/películas/ÉTÉ.mkv"),
        QString(),
        QStringLiteral("A") + codePoint(0xD800) + QStringLiteral("b"),
        QStringLiteral("é") + codePoint(0xDC00),
        QStringLiteral("É") + codePoint(0xD800) + QStringLiteral("\u0301") + codePoint(0xDC00),
        QStringLiteral("É") + codePoint(0xD800),
    };
    for (const QString& title : titles)
        EXPECT_EQ(CenterContentPolicy::normalize(title), qtNormalizationFold(title)) << hex(title).toStdString();

    // Every code point alone, and between letters and marks it could compose, reorder or change case with.
    for (char32_t c = 0; c <= QChar::LastValidCodePoint; ++c) {
        for (const QString& text : {codePoint(c), QStringLiteral("É") + codePoint(c) + QStringLiteral("\u0301"),
                                    QStringLiteral("\u1100") + codePoint(c) + QStringLiteral("\u1161")}) {
            ASSERT_EQ(CenterContentPolicy::normalize(text), qtNormalizationFold(text)) << hex(text).toStdString();
        }
    }

    // Short mixtures of characters that decompose, compose, reorder, fold or pair up once the marks between them go.
    const std::vector<char32_t> alphabet{
        ' ',    'A',    'z',    0xA0,    0xC9,    0xDF,   0x130,  0x131,  0x1E9E, 0x300,  0x301,  0x316,  0x327,
        0x345,  0x334,  0xF71,  0xF72,   0xF73,   0x344,  0x1100, 0x1161, 0x11A7, 0x11A8, 0xAC00, 0xAC01, 0x9C7,
        0x9BE,  0xBC6,  0xBBE,  0x1D165, 0x1D16D, 0x302E, 0x1F80, 0x3A3,  0x3C2,  0x419,  0x4E00, 0xF900, 0xFB01,
        0x212B, 0x2126, 0x13A0, 0xAB70,  0x10400, 0x3099, 0x304B, 0x1E0C, 0x323,  0x307,  0xD800, 0xDBFF, 0xDC00};
    QRandomGenerator random(29);
    for (int i = 0; i < 100000; ++i) {
        QString text;
        for (int length = random.bounded(9); length > 0; --length)
            text += codePoint(alphabet[random.bounded(int(alphabet.size()))]);
        ASSERT_EQ(CenterContentPolicy::normalize(text), qtNormalizationFold(text)) << hex(text).toStdString();
    }

    // Spacing marks with a combining class either side of a dropped mark of class 0, which leaves them side by side
    // to be ordered again.
    const std::vector<char32_t> spacingMarks{0x1D165, 0x1D16D, 0x1D16E, 0x302E, 0x302F,
                                             0x16FF0, 0x902,   0x981,   0x301,  0x316};
    for (int i = 0; i < 20000; ++i) {
        QString text = QStringLiteral("x");
        for (int length = 2 + random.bounded(6); length > 0; --length)
            text += codePoint(spacingMarks[random.bounded(int(spacingMarks.size()))]);
        ASSERT_EQ(CenterContentPolicy::normalize(text), qtNormalizationFold(text)) << hex(text).toStdString();
    }
}

TEST(CenterContentPolicyTest, BlockedGroupsAndKeywordsKeepCategoriesOffTheCentre)
{
    const CenterContentPolicy policy({QStringLiteral("  DEPORTES  "), QStringLiteral("Niños"), QStringLiteral("77")});
    EXPECT_FALSE(policy.allowsCategory(QStringLiteral("1"), QStringLiteral("deportes")));
    EXPECT_FALSE(policy.allowsCategory(QStringLiteral("1"), QStringLiteral("Deportes")));
    EXPECT_FALSE(policy.allowsCategory(QStringLiteral("1"), QStringLiteral("NINOS")));
    EXPECT_FALSE(policy.allowsCategory(QStringLiteral(" 77 "), QStringLiteral("Cine")));
    EXPECT_TRUE(policy.allowsCategory(QStringLiteral("1"), QStringLiteral("Deportes 2")));

    const CenterContentPolicy none;
    EXPECT_TRUE(none.allowsCategory(QStringLiteral("1"), QStringLiteral("Aventuras")));
    EXPECT_FALSE(none.allowsCategory(QStringLiteral("1"), QStringLiteral("Canal +18")));
    EXPECT_FALSE(none.allowsCategory(QStringLiteral("1"), QStringLiteral("18+ Noche")));
    EXPECT_FALSE(none.allowsCategory(QStringLiteral("1"), QStringLiteral("Cine eròtico")));
    EXPECT_FALSE(none.allowsCategory(QStringLiteral("1"), QStringLiteral("Cine Erótico")));
    EXPECT_FALSE(none.allowsCategory(QStringLiteral("1"), QStringLiteral("Educación asexualidad")));
    EXPECT_FALSE(none.allowsCategory(QStringLiteral("1"), QStringLiteral("OnlyFans")));
    // The keywords are looked for in the name only, not in the id.
    EXPECT_TRUE(none.allowsCategory(QStringLiteral("xxx"), QStringLiteral("Series")));
}

TEST(CenterContentPolicyTest, EntriesAreFilteredInOrderWhateverTheirClassification)
{
    const CenterContentPolicy policy({QStringLiteral("Deportes"), QStringLiteral("9")});
    MediaNode generic = node(QStringLiteral("e"), QStringLiteral("Clean"), QStringLiteral("2"), QStringLiteral("Cine"));
    generic.contentClassification = QStringLiteral("generic");
    const QList<MediaNode> nodes{
        node(QStringLiteral("a"), QStringLiteral("Ok"), QStringLiteral("1"), QStringLiteral("Cine")),
        node(QStringLiteral("b"), QStringLiteral("Ok"), QStringLiteral("9"), QStringLiteral("Cine")),
        node(QStringLiteral("c"), QStringLiteral("Ok"), QStringLiteral("3"), QStringLiteral("DEPORTES")),
        node(QStringLiteral("d"), QStringLiteral("XXX Night"), QStringLiteral("1"), QStringLiteral("Cine")),
        generic,
        node(QStringLiteral("f"), QStringLiteral("Ok"), QStringLiteral("4"), QStringLiteral("Adultos")),
        node(QStringLiteral("g"), QStringLiteral("Ok"), QString(), QString()),
    };
    EXPECT_EQ(ids(policy.recommendations(nodes)),
              (QStringList{QStringLiteral("a"), QStringLiteral("e"), QStringLiteral("g")}));
    // A blank blocked text names no category: entries without one stay.
    const CenterContentPolicy blank({QStringLiteral("  "), QString()});
    EXPECT_TRUE(blank.blockedGroups().isEmpty());
    EXPECT_TRUE(blank.allows(nodes.last()));
}

TEST(CenterContentPolicyTest, FeedLosesBlockedLanesAndGetsAnAllowedSpotlight)
{
    const CenterContentPolicy policy({QStringLiteral("Deportes"), QStringLiteral("lane-x")});
    const MediaNode clean =
        node(QStringLiteral("1"), QStringLiteral("Film"), QStringLiteral("1"), QStringLiteral("Cine"));
    const MediaNode blockedNode =
        node(QStringLiteral("2"), QStringLiteral("Match"), QStringLiteral("5"), QStringLiteral("Deportes"));
    const MediaNode other =
        node(QStringLiteral("3"), QStringLiteral("Other"), QStringLiteral("1"), QStringLiteral("Cine"));

    CommandFeed feed;
    feed.revision = 42;
    feed.spotlight = blockedNode;
    feed.lanes = {
        {QStringLiteral("lane-x"), QStringLiteral("Clean title"), QStringLiteral("s"), {clean}},
        {QStringLiteral("l2"), QStringLiteral("DEPORTES"), QStringLiteral("s"), {clean}},
        {QStringLiteral("l3"), QStringLiteral("Noche +18"), QStringLiteral("s"), {clean}},
        {QStringLiteral("l4"), QStringLiteral("Clean"), QStringLiteral("s"), {blockedNode}},
        {QStringLiteral("l5"), QStringLiteral("Estrenos"), QStringLiteral("sub"), {blockedNode, other, clean}},
    };
    const CommandFeed filtered = policy.recommendations(feed);
    EXPECT_EQ(filtered.revision, 42);
    ASSERT_EQ(filtered.lanes.size(), 1);
    EXPECT_EQ(filtered.lanes[0].id, QStringLiteral("l5"));
    EXPECT_EQ(filtered.lanes[0].subtitle, QStringLiteral("sub"));
    EXPECT_EQ(ids(filtered.lanes[0].nodes), (QStringList{QStringLiteral("3"), QStringLiteral("1")}));
    EXPECT_EQ(filtered.spotlight, other);

    feed.spotlight = clean;
    EXPECT_EQ(policy.recommendations(feed).spotlight, clean);
    feed.spotlight.reset();
    EXPECT_EQ(policy.recommendations(feed).spotlight, other);

    feed.spotlight = blockedNode;
    feed.lanes.removeLast();
    const CommandFeed empty = policy.recommendations(feed);
    EXPECT_TRUE(empty.lanes.isEmpty());
    EXPECT_FALSE(empty.spotlight);
}

TEST(CatalogPresentationTest, GenericOnlyAndKindsInCanonicalOrder)
{
    const CatalogPresentation none({});
    EXPECT_FALSE(none.genericOnly);
    EXPECT_TRUE(none.kinds.isEmpty());

    const QString generic = QStringLiteral("generic");
    const CatalogPresentation allGeneric(
        {classified(SignalKind::cinema, generic), classified(SignalKind::broadcast, generic)});
    EXPECT_TRUE(allGeneric.genericOnly);
    EXPECT_TRUE(allGeneric.kinds.isEmpty());

    const CatalogPresentation mixed(
        {classified(SignalKind::broadcast, generic), classified(SignalKind::cinema, std::nullopt)});
    EXPECT_FALSE(mixed.genericOnly);
    EXPECT_EQ(mixed.kinds, QList<SignalKind>{SignalKind::cinema});

    const CatalogPresentation capitalised({classified(SignalKind::episodic, QStringLiteral("Generic")),
                                           classified(SignalKind::cinema, QStringLiteral("movie")),
                                           classified(SignalKind::broadcast, std::nullopt)});
    EXPECT_FALSE(capitalised.genericOnly);
    EXPECT_EQ(capitalised.kinds, (QList<SignalKind>{SignalKind::broadcast, SignalKind::cinema, SignalKind::episodic}));
}

} // namespace
