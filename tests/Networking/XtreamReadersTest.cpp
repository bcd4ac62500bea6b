#include "NetKit/AddressReader.h"
#include "Networking/Playlist/PlaylistIngestor.h"
#include "Networking/XtreamListReader.h"
#include "Networking/XtreamValues.h"

#include "Domain/CommandError.h"
#include "catalog-gen/CatalogGenerator.h"
#include "catalog-gen/QJsonListReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

using namespace sendra;
using sendra::testkit::CatalogGenerator;
using sendra::testkit::CatalogShape;
using sendra::testkit::PanelKind;

namespace {

const QUrl panel("http://panel.test:8080/player_api.php");

QList<MediaNode> read(const QByteArray& body, SignalKind kind = SignalKind::cinema, xtream::CategoryMap map = {})
{
    return xtream::readStreamList(body, kind, map, panel);
}

void expectSameNodes(const QList<MediaNode>& actual, const QList<MediaNode>& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (qsizetype i = 0; i < actual.size(); ++i) {
        ASSERT_EQ(actual[i], expected[i]) << "entry " << i << ": " << actual[i].title.toStdString() << " / "
                                          << expected[i].title.toStdString();
    }
}

std::optional<CommandError> failureOf(const std::function<void()>& run)
{
    try {
        run();
    } catch (const CommandFailure& failure) {
        return failure.error();
    }
    return std::nullopt;
}

bool isJsonError(const std::function<void()>& run)
{
    try {
        run();
    } catch (const netkit::JsonError&) {
        return true;
    }
    return false;
}

} // namespace

// The fast reader must agree with a plain QJsonDocument reader on everything real panels send.
TEST(XtreamListReader, AgreesWithTheQJsonReaderOnLooselyTypedCatalogues)
{
    const CatalogGenerator generator(CatalogShape{.seed = 11, .categories = 60, .brokenEvery = 97});
    const auto kinds = {std::pair{PanelKind::Live, SignalKind::broadcast}, std::pair{PanelKind::Vod, SignalKind::cinema},
                        std::pair{PanelKind::Series, SignalKind::episodic}};
    for (const auto& [panelKind, kind] : kinds) {
        SCOPED_TRACE(int(panelKind));
        // Several slices' worth, so the cuts between slices are crossed many times.
        const QByteArray body = generator.streams(panelKind, 9000);
        ASSERT_GT(body.size(), 2 * 1024 * 1024);
        const xtream::CategoryMap map = xtream::readCategoryMap(generator.categories(panelKind));
        EXPECT_GT(map.size(), 50) << "only the few loose ids (null, empty) are dropped";
        const QList<MediaNode> nodes = read(body, kind, map);
        EXPECT_EQ(nodes.size(), generator.expectedEntries(9000));
        expectSameNodes(nodes, testkit::readStreamListWithQJson(body, kind, map, panel));
        EXPECT_EQ(nodes.first().title, generator.title(panelKind, 0));
    }
}

TEST(XtreamListReader, CutsThatFallInsideStringsOrNestedListsFallBackToTheWholeBody)
{
    const CatalogGenerator generator(CatalogShape{.seed = 3});
    QByteArray filler = generator.streams(PanelKind::Vod, 1700);
    ASSERT_GT(filler.size(), 512 * 1024 + 8192);
    filler.chop(1); // the closing bracket
    // An element whose cut-like text ("},{") straddles the first slice boundary.
    const auto withTrapAtFirstCut = [&](const QByteArray& trap) {
        QByteArray body = filler.left(512 * 1024 - 6000);
        body.truncate(body.lastIndexOf("},{") + 1);
        return body + "," + trap + "," + filler.mid(filler.indexOf("{\"num\":900,")) + "]";
    };
    QByteArray inTitle = R"({"stream_id":1,"name":")";
    QByteArray inNestedList = R"({"stream_id":2,"name":"anidada","backdrop":[)";
    for (int i = 0; i < 2000; ++i) {
        inTitle += "a},{ ";
        inNestedList += (i ? "," : "") + QByteArray(R"({"x":[{"y":1},{"z":2}]})");
    }
    inTitle += R"("})";
    inNestedList += "]}";
    for (const QByteArray& trap : {inTitle, inNestedList}) {
        const QByteArray body = withTrapAtFirstCut(trap);
        const QList<MediaNode> nodes = read(body);
        expectSameNodes(nodes, testkit::readStreamListWithQJson(body, SignalKind::cinema, {}, panel));
        EXPECT_TRUE(std::any_of(nodes.begin(), nodes.end(), [](const MediaNode& n) { return n.id == "1" || n.id == "2"; }));
    }
}

TEST(XtreamListReader, RejectsWhatIsNotAListOfObjects)
{
    EXPECT_TRUE(read("[]").isEmpty());
    EXPECT_TRUE(read(" [ \n ] ").isEmpty());
    const QByteArray pretty = "[\n  {\"stream_id\": 1, \"name\": \"Uno\"} ,\n  {\"stream_id\": 2, \"name\": \"Dos\"}\n]\n";
    EXPECT_EQ(read(pretty).size(), 2);
    // A byte-order mark before the list, on the sliced road and on the whole-body road.
    const QByteArray big = CatalogGenerator(CatalogShape{.seed = 5}).streams(PanelKind::Vod, 3000);
    ASSERT_GT(big.size(), 512 * 1024);
    expectSameNodes(read("\xEF\xBB\xBF" + big), read(big));
    EXPECT_EQ(read("\xEF\xBB\xBF" + pretty).size(), 2);
    EXPECT_EQ(read("\xEF\xBB\xBF[{\"stream_id\":1,\"name\":\"a\",\"x\":[\"},{\"]}]").size(), 1);
    EXPECT_EQ(xtream::readCategoryMap("\xEF\xBB\xBF[{\"category_id\":1,\"category_name\":\"Uno\"}]").size(), 1);

    EXPECT_EQ(failureOf([] { read(R"({"user_info":{"auth":0}})"); }), CommandError::invalidResponse);
    EXPECT_EQ(failureOf([] { read(R"([{"stream_id":1,"name":"a"},null])"); }), CommandError::invalidResponse);
    EXPECT_EQ(failureOf([] { read(R"([{"stream_id":1,"name":"a"},[{"stream_id":2}]])"); }), CommandError::invalidResponse);
    EXPECT_EQ(failureOf([] { read(R"([1,2])"); }), CommandError::invalidResponse);
    EXPECT_TRUE(isJsonError([] { read("<html><body>502 Bad Gateway</body></html>"); }));
    EXPECT_TRUE(isJsonError([] { read(""); }));
    // A truncated transfer and trailing garbage are syntax errors, not short lists.
    EXPECT_TRUE(isJsonError([] { read(R"([{"stream_id":1,"name":"a"},{"stream_id":2,"na)"); }));
    EXPECT_TRUE(isJsonError([] { read(R"([{"stream_id":1,"name":"a"}]])"); }));
    EXPECT_TRUE(isJsonError([] { read(R"([{"stream_id":1,"name":"a","x":tru}])"); }));
    EXPECT_TRUE(isJsonError([] { read(R"([{"stream_id":1,"name":"\ud800"},{"stream_id":2,"na)"); }));
}

// One bad value costs at most its entry, however the list is read: a lone or reversed surrogate escape and bytes
// that are no UTF-8 (CESU-8) read as U+FFFD, as the playlist road reads them; a number out of range is no value.
TEST(XtreamListReader, OneBadValueCostsAtMostItsEntry)
{
    const QByteArray cesu = "c\xED\xA0\xBD\xED\xB2\xA9\xC3";
    const QByteArray bad = R"({"stream_id":77701,"name":"a\ud800b","category_id":1e400},)"
                           R"({"stream_id":77702,"name":"\udc00","category_id":null,"category_ids":[1e400,"7"]},)"
                           R"({"stream_id":77703,"name":"\udc00\ud800x\ud83c\udfac\\ud800"},)"
                           R"({"stream_id":77704,"name":")" +
                           cesu +
                           R"("},)"
                           R"({"stream_id":1e400,"name":"lost"},)"
                           R"({"stream_id":-123456789012345678901234567890,"name":"lost too"},)"
                           R"({"stream_id":77705,"name":"12345678901234567890","rating":-1.5E+999,"added":1e-400})";
    const QStringList expected{"77701|a\uFFFDb|group:contenido", "77702|\uFFFD|7",
                               QString::fromUtf8("77703|\uFFFD\uFFFDx\U0001F3AC\\ud800|group:contenido"),
                               "77704|" + QString::fromUtf8(cesu) + "|group:contenido",
                               "77705|12345678901234567890|group:contenido"};
    const auto rows = [](const QList<MediaNode>& nodes) {
        QStringList out;
        for (const MediaNode& n : nodes)
            if (n.id.startsWith("7770"))
                out << QStringList{n.id, n.title, n.groupID}.join('|');
        return out;
    };
    const xtream::CategoryMap map{{"7", "Estrenos"}};
    EXPECT_EQ(rows(read("[" + bad + "]", SignalKind::cinema, map)), expected);
    // Among thousands of good entries, on the sliced road (early, across the first cut, late) and on the whole-body
    // road a cut inside a title forces.
    const CatalogGenerator generator(CatalogShape{.seed = 3, .looseTypes = false});
    const QByteArray big = generator.streams(PanelKind::Vod, 3000);
    const qsizetype good = read(big).size();
    const auto inserted = [&](qsizetype at, const QByteArray& element) {
        const qsizetype cut = big.indexOf("},{", at) + 1;
        return big.left(cut) + "," + element + big.mid(cut);
    };
    const QByteArray trap = R"(,{"stream_id":1,"name":")" + QByteArray("a},{ ").repeated(2000) + R"("})";
    for (const qsizetype at : {qsizetype(100), qsizetype(512 * 1024 - 300), big.size() * 3 / 4}) {
        for (const QByteArray& body : {inserted(at, bad), inserted(at, bad + trap)}) {
            const QList<MediaNode> nodes = read(body, SignalKind::cinema, map);
            EXPECT_EQ(rows(nodes), expected) << at;
            EXPECT_EQ(nodes.size(), good + expected.size() + (body.size() > big.size() + trap.size() ? 1 : 0)) << at;
        }
    }
    EXPECT_EQ(xtream::readCategoryMap(R"([{"category_id":1e400,"category_name":"x"},)"
                                      R"({"category_id":"7","category_name":"\udc00"}])"),
              (xtream::CategoryMap{{"7", "\uFFFD"}}));
}

TEST(XtreamListReader, ElementRules)
{
    const xtream::CategoryMap films{{"7", "Estrenos"}};
    const QList<MediaNode> nodes = read(R"([
        {"stream_id":42,"name":"Película","category_id":"7","stream_icon":"","cover":"http://img.test/c.jpg","container_extension":"mkv"},
        {"stream_id":"43","name":"Con nombre","category_id":7,"category_name":"Propia","stream_icon":"http://img.test/i.jpg","content_type":"generic"},
        {"stream_id":44,"name":"Sin categoría","category_name":"Películas de Acción"},
        {"stream_id":45,"name":"Nada","category_id":"","stream_icon":null,"cover":"http://img.test/c2.jpg"},
        {"stream_id":46,"name":"Rusa","category_name":"Фильмы!"},
        {"stream_id":47,"name":"   "},
        {"stream_id":48,"name":12},
        {"stream_id":null,"name":"nulo"},
        {"stream_id":[],"name":"lista"},
        {"stream_id":{},"name":"objeto"},
        {"name":"sin id"},
        {"stream_id":49.0,"name":"doble","stream_id":50,"container_extension":null},
        {"stream_id":51,"name":"Relativa","stream_icon":"/images/51.png"},
        {"stream_id":52,"name":"Suelta","cover":"portadas/52 b.jpg?w=3"},
        {"stream_id":53,"name":"Sin esquema","stream_icon":"//cdn.test/53.png"},
        {"stream_id":54,"name":"Script","stream_icon":"javascript:void 0"},
        {"stream_id":55,"name":"Fichero","stream_icon":"file:///etc/passwd"},
        {"stream_id":56,"name":"Marcador","stream_icon":"[NO LOGO]"},
        {"stream_id":57,"name":"\uFEFF"},
        {"stream_id":58,"name":"\uFEFFMarca"}
    ])", SignalKind::cinema, films);
    // id | title | group id | group name | artwork | suffix | classification; no entry carries a direct address.
    QStringList rows;
    for (const MediaNode& n : nodes) {
        EXPECT_EQ(n.directURL, std::nullopt);
        rows << QStringList{n.id, n.title, n.groupID, n.groupName, n.artwork.value_or(QUrl()).toString(), n.fileSuffix,
                            n.contentClassification.value_or("-")}.join('|');
    }
    EXPECT_EQ(rows, (QStringList{
                        "42|Película|7|Estrenos||mkv|-", // an empty stream_icon hides the cover
                        "43|Con nombre|7|Propia|http://img.test/i.jpg||generic",
                        "44|Sin categoría|group:peliculas-de-accion|Películas de Acción|||-",
                        "45|Nada|group:contenido|Contenido|http://img.test/c2.jpg||-",
                        "46|Rusa|group:|Фильмы!|||-",
                        "47|   |group:contenido|Contenido|||-", // the title is not trimmed
                        "50|doble|group:contenido|Contenido|||-", // a repeated key keeps its last value
                        // Artwork is loadable or none: relative texts are the panel's own pictures.
                        "51|Relativa|group:contenido|Contenido|http://panel.test:8080/images/51.png||-",
                        "52|Suelta|group:contenido|Contenido|http://panel.test:8080/portadas/52 b.jpg?w=3||-",
                        "53|Sin esquema|group:contenido|Contenido|http://cdn.test/53.png||-",
                        "54|Script|group:contenido|Contenido|||-",
                        "55|Fichero|group:contenido|Contenido|||-",
                        "56|Marcador|group:contenido|Contenido|http://panel.test:8080/[NO LOGO]||-",
                        // A byte-order mark is no name; before one, it is dropped.
                        "58|Marca|group:contenido|Contenido|||-",
                    }));

    const QList<MediaNode> series = read(R"([{"series_id":"9","stream_id":1,"name":"Serie","cover":"http://img.test/s.jpg"}])",
                                         SignalKind::episodic);
    ASSERT_EQ(series.size(), 1);
    EXPECT_EQ(series[0].id, "9");
    EXPECT_EQ(series[0].artwork, QUrl("http://img.test/s.jpg"));
    EXPECT_EQ(series[0].kind, SignalKind::episodic);
}

// Panels send the category in "category_id" and again in "category_ids"; entries that fill only the list must not
// fall into the default group.
TEST(XtreamListReader, CategoryIdsStandInForAMissingCategoryId)
{
    const xtream::CategoryMap map{{"7", "Estrenos"}, {"12", "Doce"}};
    for (const SignalKind kind : {SignalKind::broadcast, SignalKind::cinema, SignalKind::episodic}) {
        SCOPED_TRACE(int(kind));
        QByteArray body = R"([
            {"ID":1,"name":"Sin id","category_ids":[7]},
            {"ID":2,"name":"Nulo","category_id":null,"category_ids":["12"]},
            {"ID":3,"name":"Vacío","category_id":"","category_ids":[9,7]},
            {"ID":4,"name":"Orden","category_ids":["7",9]},
            {"ID":5,"name":"Gana","category_id":"8","category_ids":[7]},
            {"ID":6,"name":"Gana con número","category_id":12,"category_ids":[7]},
            {"ID":7,"name":"Desconocidas","category_ids":[9,10]},
            {"ID":8,"name":"Huecos","category_ids":[null,"",{},[],"12"]},
            {"ID":9,"name":"Propia","category_ids":[9,7],"category_name":"Mía"},
            {"ID":10,"name":"Lista vacía","category_id":null,"category_ids":[]},
            {"ID":11,"name":"No es lista","category_ids":"7"},
            {"ID":12,"name":"Booleano","category_ids":[true]},
            {"ID":13,"name":"Booleano y lista","category_id":true,"category_ids":[false,"12"]}
        ])";
        body.replace("\"ID\"", kind == SignalKind::episodic ? "\"series_id\"" : "\"stream_id\"");
        const QList<MediaNode> nodes = read(body, kind, map);
        QStringList rows;
        for (const MediaNode& n : nodes)
            rows << QStringList{n.id, n.groupID, n.groupName}.join('|');
        EXPECT_EQ(rows, (QStringList{
                            "1|7|Estrenos",
                            "2|12|Doce",
                            "3|7|Estrenos", // the first id whose category is named
                            "4|7|Estrenos",
                            "5|8|Contenido", // a category_id with a text wins, named or not
                            "6|12|Doce",
                            "7|9|Contenido", // none named: the first
                            "8|12|Doce",
                            "9|7|Mía",
                            "10|group:contenido|Contenido",
                            "11|group:contenido|Contenido",
                            "12|group:contenido|Contenido", // a boolean is no id
                            "13|12|Doce",
                        }));
        expectSameNodes(nodes, testkit::readStreamListWithQJson(body, kind, map, panel));
    }
}

TEST(XtreamListReader, CategoryMap)
{
    const xtream::CategoryMap map = xtream::readCategoryMap(R"([
        {"category_id":"1","category_name":"Uno"},
        {"category_id":2,"category_name":"Dos"},
        {"category_id":"1","category_name":"Uno bis"},
        {"category_id":"3","category_name":""},
        {"category_id":null,"category_name":"Nadie"},
        {"category_id":true,"category_name":"Verdad"},
        {"category_name":"Sin id"}
    ])");
    EXPECT_EQ(map, (xtream::CategoryMap{{"1", "Uno bis"}, {"2", "Dos"}}));
}

namespace {

// What a walk visited (each element as minified JSON), or how it failed (a caller drops what it had then).
struct Walked
{
    std::vector<std::string> elements;
    std::string failure;
    bool operator==(const Walked&) const = default;
};

Walked walked(const std::function<void(const xtream::ObjectListVisitor&)>& walk, bool keepsWhatItVisited)
{
    Walked out;
    const xtream::ObjectListVisitor visitor{
        .visit = [&](const simdjson::dom::object& item) { out.elements.push_back(simdjson::minify(item)); },
        .restart =
            [&] {
                if (keepsWhatItVisited) {
                    EXPECT_TRUE(out.elements.empty()) << "restarted after visiting";
                }
                out.elements.clear();
            }};
    try {
        walk(visitor);
    } catch (const CommandFailure& failure) {
        out.failure = "CommandFailure " + std::to_string(int(failure.error()));
    } catch (const netkit::JsonError&) {
        out.failure = "JsonError";
    }
    if (!out.failure.empty())
        out.elements.clear();
    return out;
}

// `body` pushed in pieces of random sizes, often a single byte.
Walked streamed(const QByteArray& body, std::size_t sliceBytes, qsizetype largestPiece, std::mt19937& random)
{
    return walked(
        [&](const xtream::ObjectListVisitor& visitor) {
            xtream::ObjectListStream stream(visitor, sliceBytes);
            if (random() % 2)
                stream.setExpectedBytes(body.size());
            for (qsizetype at = 0; at < body.size();) {
                const qsizetype piece = random() % 3 == 0 ? 1 : 1 + qsizetype(random() % largestPiece);
                stream.push(body.mid(at, piece));
                at += piece;
            }
            stream.finish();
        },
        true);
}

} // namespace

// However a body arrives, the stream visits exactly what the whole-body walk visits, or fails the same way.
TEST(ObjectListStream, VisitsWhatTheWholeBodyWalkVisitsHoweverTheBodyArrives)
{
    std::vector<QByteArray> bodies{
        "", "  \n", "[]", " [ \n ] ", "\xEF\xBB", "\xEF\xBB\xBF", "\xEF\xBB\xBF[]", "\xEF\xBB\xBF\xEF\xBB\xBF[]",
        " \xEF\xBB\xBF[]", "[\n  {\"stream_id\": 1, \"name\": \"Uno\"} ,\n  {\"stream_id\": 2, \"name\": \"Dos\"}\n]\n",
        R"({"user_info":{"auth":0}})", "<html><body>502 Bad Gateway</body></html>", "[1,2]",
        R"([{"a":1},null])", R"([{"a":1},[{"b":2}]])", R"([{"a":1},{"b":2,"na)", R"([{"a":1}]])", R"([{"a":1}] x)",
        R"([{"a":"},{ },{"},{"b":[{"c":1},{"d":2}]},{"e":{"f":{}}}])", "[{\"a\":\"\xC3\"}]", "[{}, {} ,{}]"};
    const CatalogGenerator loose(CatalogShape{.seed = 11, .categories = 60, .brokenEvery = 97});
    const CatalogGenerator plain(CatalogShape{.seed = 3, .looseTypes = false});
    for (const PanelKind kind : {PanelKind::Live, PanelKind::Vod, PanelKind::Series}) {
        bodies.push_back(loose.streams(kind, 300));
        bodies.push_back(loose.categories(kind));
    }
    // Past one real slice, with cut-like text inside a title and inside nested lists, early and late; with a
    // byte-order mark; with a late element that is no object, a late syntax error, trailing garbage, cut short.
    const QByteArray big = plain.streams(PanelKind::Vod, 3000);
    ASSERT_GT(big.size(), 600 * 1024);
    QByteArray inTitle = R"({"stream_id":1,"name":")";
    QByteArray inNested = R"({"stream_id":2,"name":"n","backdrop":[)";
    for (int i = 0; i < 2000; ++i) {
        inTitle += "a},{ ";
        inNested += (i ? "," : "") + QByteArray(R"({"x":[{"y":1},{"z":2}]})");
    }
    inTitle += R"(","x":"},{"})";
    inNested += "]}";
    const auto inserted = [&](qsizetype at, const QByteArray& element) {
        const qsizetype cut = big.indexOf("},{", at) + 1;
        return big.left(cut) + "," + element + big.mid(cut);
    };
    for (const qsizetype at : {qsizetype(100), qsizetype(512 * 1024 - 300), big.size() * 3 / 4}) {
        bodies.push_back(inserted(at, inTitle));
        bodies.push_back(inserted(at, inNested));
        bodies.push_back(inserted(at, R"({"stream_id":1e400,"name":"\udc00","x":"\ud83c\udfac"})"));
    }
    bodies.push_back("\xEF\xBB\xBF" + big);
    bodies.push_back(" \r\n\t" + big + "\n\n");
    bodies.push_back(inserted(big.size() * 3 / 4, "null"));
    bodies.push_back(inserted(big.size() * 3 / 4, R"({"a":tru})"));
    bodies.push_back(big + "]");
    bodies.push_back(big.left(big.size() * 2 / 3));
    bodies.push_back(big.left(big.lastIndexOf("},{") + 1));

    std::mt19937 random(20261207);
    std::set<std::string> outcomes;
    for (std::size_t b = 0; b < bodies.size(); ++b) {
        const QByteArray& body = bodies[b];
        SCOPED_TRACE("body " + std::to_string(b) + ": " + body.left(60).toStdString());
        const Walked whole = walked([&](const xtream::ObjectListVisitor& v) { xtream::walkObjectList(body, v); }, false);
        outcomes.insert(whole.failure.empty() && whole.elements.size() > 1000 ? "long list" : whole.failure);
        for (const std::size_t slice : {std::size_t(512 * 1024), std::size_t(4096), std::size_t(61), std::size_t(1)}) {
            SCOPED_TRACE("slice " + std::to_string(slice));
            if (body.size() > 64 * 1024 && slice < 4096)
                continue; // every element its own slice: too slow for a body this size, and nothing new
            for (const qsizetype largest : {qsizetype(1), qsizetype(7), qsizetype(70'000)}) {
                if (largest == 1 && body.size() > 64 * 1024)
                    continue;
                const Walked pieces = streamed(body, slice, largest, random);
                ASSERT_EQ(pieces.failure, whole.failure) << "pieces up to " << largest;
                ASSERT_EQ(pieces.elements.size(), whole.elements.size()) << "pieces up to " << largest;
                ASSERT_TRUE(pieces == whole) << "pieces up to " << largest;
            }
        }
    }
    const std::set<std::string> reached{"long list", "JsonError",
                                        "CommandFailure " + std::to_string(int(CommandError::invalidResponse))};
    EXPECT_TRUE(std::includes(outcomes.begin(), outcomes.end(), reached.begin(), reached.end()));
}

// Beyond the shared lenient readers: booleans count as the numbers PHP writes for them, and firstText skips blanks.
TEST(XtreamValues, PanelReaders)
{
    const auto document = netkit::JsonDocument::parse(
        R"({"t":true,"f":false,"nul":null,"list":[],"obj":{},"d":7.9,"text":"  x  ","year":2020,"ws":"   ","s":""})");
    const simdjson::dom::object o = document.root().get_object().value_unsafe();
    EXPECT_EQ(xtream::string(o["t"]), "1");
    EXPECT_EQ(xtream::integer(o["f"]), 0);
    EXPECT_EQ(xtream::integer(o["d"]), 7);
    for (const char* key : {"nul", "list", "obj", "missing"})
        EXPECT_EQ(xtream::string(o[key]), std::nullopt) << key;
    EXPECT_EQ(xtream::firstText(o, {"ws", "text"}), "  x  ");
    EXPECT_EQ(xtream::firstText(o, {"missing", "nul", "list", "year"}), "2020");
    EXPECT_EQ(xtream::firstText(o, {"s", "ws"}), "");
}

// The fast road must give exactly the address QUrl makes of the whole text, and the encoded text written byte-wise
// exactly what QUrl writes of it, resolved against the base as QUrl resolves it: over references of every form
// (path-absolute, relative with dot segments, query or fragment only, network-path, absolute) made of pieces QUrl
// reads apart, against bases with and without a path, a trailing slash, a query, dot segments, in either mode.
TEST(AddressReader, MatchesQUrlOnEveryForm)
{
    const std::vector<std::string> texts{
        "http://img.example.test/posters/12.jpg", "https://img.example.test:8443/a/b.png", "http://img.example.test",
        "http://img.example.test/", "http://IMG.Example.test/X.jpg", "http://img.example.test/a b.jpg",
        "http://img.example.test/p%2Fq.jpg", "http://img.example.test/a.jpg?w=300&h=450", "http://img.example.test/a#f",
        "http://user:pw@img.example.test/a.jpg", "http://[::1]:8080/a.jpg", "http://img.example.test/Ñandú.jpg",
        "http://img.example.test/a+b(1)*,;=!$'.jpg", "ftp://files.test/a", "not an address", "/relative/path.png",
        "http://img.example.test:99999/a.jpg", "http://:80/a", "http://img.example.test/%zz", "https://x.test/~u/@me"};
    netkit::AddressReader reader;
    for (int round = 0; round < 2; ++round) { // the second round meets cached origins
        for (const std::string& text : texts) {
            SCOPED_TRACE(text);
            const auto fast = reader.read(text);
            const auto slow = netkit::AddressReader::readSlowly(text);
            ASSERT_EQ(fast.has_value(), slow.has_value());
            if (fast) {
                EXPECT_EQ(*fast, *slow);
                EXPECT_EQ(fast->toEncoded(), slow->toEncoded());
            }
        }
    }
    EXPECT_EQ(reader.read(""), std::nullopt);

    const std::vector<std::string> starts{"",
                                          "/",
                                          "/",
                                          "./",
                                          "../",
                                          "../../",
                                          "/./",
                                          "/../",
                                          "//img.example.test/",
                                          "//IMG.example.test:81",
                                          "?",
                                          "#",
                                          "http://img.example.test/",
                                          "https://img.example.test:8443/",
                                          "http://IMG.example.test/",
                                          "http://u@img.example.test/",
                                          "ftp://img.example.test/"};
    const std::vector<std::string> segments{
        "a",          "x.jpg",      "w300",   ".",   "..",          ".",   "..",     "",    "...", ".a",  "a.",
        "Se%c3%b1al", "Se%C3%B1al", "%c3%B1", "%2f", "%2F",         "%2e", "%2E%2e", "%41", "%7e", "%3a", "%3F",
        "%23",        "%20",        "%25",    "%ff", "%zz",         "%",   "%4",     "%G1", "%a",  " ",   "\xC3\xB1",
        ":",          "x:y",        "@",      "~",   "!$&'()*+,;=", "[1]", "{"};
    const std::vector<std::string> tails{"",      "",   "?",          "?w=300&h=450", "?q=%c3%a9/../%2b",
                                         "#",     "#f", "#top?x=%7c", "?a#b",         "#a#b",
                                         "?x= y", "?ñ", "#%e9",       "?%zz"};
    std::mt19937 random(20261208);
    std::vector<std::string> references{"/t/p/w300/x.jpg",
                                        "logos/x.png",
                                        "../x.png",
                                        "./x.png",
                                        "?x=1",
                                        "#f",
                                        ".",
                                        "..",
                                        "",
                                        "/",
                                        "http://cdn.example.test:8080/Se%c3%b1al.ts"};
    for (int n = 0; n < 12'000; ++n) {
        std::string text = starts[random() % starts.size()];
        for (int count = int(random() % 5); count > 0; --count) {
            text += segments[random() % segments.size()];
            if (count > 1 || random() % 3 == 0)
                text += '/';
        }
        text += tails[random() % tails.size()];
        references.push_back(std::move(text));
    }
    const std::vector<QUrl> bases{QUrl(),
                                  QUrl("http://lists.example.test:8080/get.php?username=demo&password=s3cret"),
                                  QUrl("http://lists.example.test"),
                                  QUrl("http://lists.example.test/"),
                                  QUrl("https://u:p@lists.example.test:8443/a/b/"),
                                  QUrl("http://lists.example.test/a/./b/../c/list.m3u?x=%2f#frag"),
                                  QUrl("http://lists.example.test?x=1"),
                                  QUrl("http://lists.example.test/a/.."),
                                  QUrl("ftp://lists.example.test/a/b")};
    const auto isWeb = [](const QUrl& url) {
        return (url.scheme() == u"http" || url.scheme() == u"https") && !url.host().isEmpty();
    };
    for (const QUrl::ParsingMode mode : {QUrl::TolerantMode, QUrl::StrictMode}) {
        for (const QUrl& base : bases) {
            SCOPED_TRACE("base " + base.toString().toStdString());
            netkit::AddressReader reader(mode);
            reader.setBase(base);
            QByteArray scratch;
            std::size_t byteWise = 0;
            for (const std::string& text : references) {
                SCOPED_TRACE(text);
                std::optional<QByteArray> expected;
                if (auto url = netkit::AddressReader::readSlowly(text, mode)) {
                    if (url->isRelative())
                        url = base.resolved(*url);
                    if (isWeb(*url))
                        expected = url->toEncoded();
                }
                const auto written = reader.encoded(text, scratch);
                if (written) {
                    ++byteWise;
                    ASSERT_TRUE(expected.has_value());
                    ASSERT_EQ(written->toByteArray().toStdString(), expected->toStdString());
                }
            }
            if (isWeb(base)) {
                EXPECT_GT(byteWise, references.size() / 8);
                for (std::size_t i = 0; i < 11; ++i)
                    EXPECT_EQ(reader.encoded(references[i], scratch).has_value(), !references[i].empty())
                        << references[i];
            }
        }
    }
}

// Queries, fragments and escapes: an address the fast road keeps as written is exactly what QUrl writes of it in
// either parsing mode and reads back unchanged from its stored form, over hand-written addresses and many made of
// every piece QUrl treats apart; the shapes playlists carry take that road. A playlist of them keeps, for every
// stream address and logo, the text QUrl gives.
TEST(AddressReader, KeepsQueriesAndEscapesAsQUrlDoes)
{
    const std::vector<std::string> common{
        "http://cdn.example.test:8080/live/demo/s3cret/5000.ts?token=ab12Cd34&exp=1733650000",
        "http://img.example.test/logos/5000.png?w=300&h=450",
        "http://img.example.test/logos/The%20Movie%2C%20Part%202.jpg",
        "https://img.example.test/a.jpg?sig=a%2Bb%3D%3D&x=1#top",
        "http://cdn.example.test:8080/get?next=/b?c=d&e=%C3%A9",
        "http://cdn.example.test:8080/a#frag?x=/y",
        "http://cdn.example.test:8080/%C3%A9t%C3%A9/%FF.png",
        "http://cdn.example.test:8080/a?",
        "http://cdn.example.test:8080/a#",
        "http://cdn.example.test:8080/a?#",
        "http://cdn.example.test:8080/%25/a?q=%2541",
        "https://img.example.test/logos/5000.png?w=300&h=450&fit=crop&auth=0123456789abcdef0123456789abcdef"};
    std::vector<std::string> texts = common;
    for (const char* odd :
         {"http://cdn.example.test:8080/a#b#c", "http://cdn.example.test:8080/a?x#b#c",
          "http://cdn.example.test:8080/%2b", "http://cdn.example.test:8080/%41%7E%2D%2E%5F%30",
          "http://cdn.example.test:8080/a?q=%zz", "http://cdn.example.test:8080/a%2", "http://cdn.example.test:8080/a%",
          "http://cdn.example.test:8080/a%2G", "http://cdn.example.test:8080/a b?x=1",
          "http://cdn.example.test:8080/a?q=\"x\"&r=<y>", "http://cdn.example.test:8080/Ñ?x=ü",
          "http://cdn.example.test:8080/a?q={1}|`^\\", "http://cdn.example.test:8080/a?q=[1]",
          "http://cdn.example.test:8080/%e9?x=%c3%a9", "http://cdn.example.test:8080?x=1",
          "http://cdn.example.test:8080#x", "http://Img.Example.test/a?x=1", "http://user@img.example.test/a?x=1",
          "http://[::1]:8080/a?x=%20"})
        texts.emplace_back(odd);
    // Pieces QUrl reads apart, each joined often enough to meet the others on both sides of sixteen-byte blocks.
    const std::vector<std::string> pieces{"a",
                                          "Z",
                                          "9",
                                          "-",
                                          "_",
                                          ".",
                                          "~",
                                          "/",
                                          "/",
                                          "?",
                                          "?",
                                          "#",
                                          "&",
                                          "=",
                                          "+",
                                          ";",
                                          ":",
                                          "@",
                                          "!",
                                          "$",
                                          "'",
                                          "(",
                                          ")",
                                          "*",
                                          ",",
                                          "%",
                                          "%2",
                                          "%20",
                                          "%2B",
                                          "%2b",
                                          "%3D",
                                          "%23",
                                          "%25",
                                          "%41",
                                          "%7E",
                                          "%7e",
                                          "%2D",
                                          "%5F",
                                          "%C3%A9",
                                          "%FF",
                                          "%zz",
                                          "%G0",
                                          "[",
                                          "]",
                                          " ",
                                          "\"",
                                          "<",
                                          ">",
                                          "`",
                                          "{",
                                          "}",
                                          "|",
                                          "\\",
                                          "^",
                                          "\x7F",
                                          "\t",
                                          "\xC3\xA9",
                                          "0123456789abcdef",
                                          "token=0123456789ABCDEF"};
    const std::vector<std::string> origins{"http://cdn.example.test:8080", "https://img.example.test",
                                           "http://cdn.example.test:8080/live/demo/s3cret"};
    std::mt19937 random(31);
    for (int n = 0; n < 20'000; ++n) {
        std::string text = origins[random() % origins.size()] + "/";
        for (int count = 1 + int(random() % 14); count > 0; --count)
            text += pieces[random() % pieces.size()];
        texts.push_back(std::move(text));
    }

    for (const QUrl::ParsingMode mode : {QUrl::TolerantMode, QUrl::StrictMode}) {
        netkit::AddressReader reader(mode);
        std::size_t kept = 0;
        for (const std::string& text : texts) {
            SCOPED_TRACE(text);
            const auto slow = netkit::AddressReader::readSlowly(text, mode);
            const QByteArray bytes(text.data(), qsizetype(text.size()));
            if (reader.keepsAsWritten(text)) {
                ++kept;
                ASSERT_TRUE(slow.has_value());
                ASSERT_EQ(slow->toEncoded(), bytes);
                // The stored form reads back as itself, strictly as a saved session is read and loosely as a
                // catalogue's address is.
                ASSERT_EQ(QUrl(QString::fromLatin1(bytes), QUrl::StrictMode).toEncoded(), bytes);
                ASSERT_EQ(QUrl::fromEncoded(bytes).toEncoded(), bytes);
            }
            const auto read = reader.read(text);
            ASSERT_EQ(read.has_value(), slow.has_value());
            if (read) {
                ASSERT_EQ(read->toEncoded(), slow->toEncoded());
            }
        }
        EXPECT_GT(kept, texts.size() / 20);
        for (const std::string& text : common)
            EXPECT_TRUE(reader.keepsAsWritten(text)) << text;
    }

    // Through the application's playlist reader: each address once as a stream and once as the logo of another.
    QByteArray playlist("#EXTM3U\n");
    std::vector<QByteArray> streams;
    std::vector<std::optional<QByteArray>> logos;
    const auto encoded = [](const std::string& text) -> std::optional<QByteArray> {
        const auto url = netkit::AddressReader::readSlowly(text);
        return url ? std::optional(url->toEncoded()) : std::nullopt;
    };
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const std::string& text = texts[i];
        const std::string& logo = texts[(i * 7919) % texts.size()];
        // What a playlist line cannot hold: line breaks, blanks at its ends, and a quote inside the logo attribute.
        if (text.find_first_of("\t\x7F\"") != std::string::npos || text.back() == ' ' ||
            logo.find_first_of("\t\x7F\"") != std::string::npos || logo.back() == ' ')
            continue;
        const auto stream = encoded(text);
        if (!stream)
            continue;
        streams.push_back(*stream);
        logos.push_back(encoded(logo));
        playlist.append("#EXTINF:-1 tvg-id=\"").append(QByteArray::number(qulonglong(i))).append("\" tvg-logo=\"");
        playlist.append(logo.data(), qsizetype(logo.size())).append("\",Entry\n");
        playlist.append(text.data(), qsizetype(text.size())).append('\n');
    }
    const QList<MediaNode> nodes = PlaylistIngestor::parse(playlist);
    ASSERT_EQ(std::size_t(nodes.size()), streams.size());
    for (qsizetype i = 0; i < nodes.size(); ++i) {
        SCOPED_TRACE(streams[std::size_t(i)].toStdString());
        ASSERT_TRUE(nodes[i].directURL.has_value());
        EXPECT_EQ(nodes[i].directURL->encoded(), streams[std::size_t(i)]);
        ASSERT_EQ(nodes[i].artwork.has_value(), logos[std::size_t(i)].has_value());
        if (nodes[i].artwork) {
            EXPECT_EQ(nodes[i].artwork->encoded(), *logos[std::size_t(i)]);
        }
    }
}
