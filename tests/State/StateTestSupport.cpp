#include "StateTestSupport.h"

#include <QRandomGenerator>

#include <array>

namespace statetest {

namespace {

const std::array<const char*, 24> words{
    "Canal", "canal", "CANAL", "Café", "cafe", "Cafe\u0301", "Ápice", "apice", "Niño", "nino", "Matrix", "matrix",
    "Episodio", "Todos", "TV", "Sin categoría", "XXX", "Erótico", "Noticias", "Acción", "Comedia", "Ana", "Banana",
    "Anaconda"};
const std::array<const char*, 8> decorations{"", " 2", " 10", " 1.5", " 25/12", " HD", " +18", "  "};

QString pickWord(QRandomGenerator& random)
{
    return QString::fromUtf8(words[random.bounded(int(words.size()))]);
}

QString phrase(QRandomGenerator& random, int maxWords)
{
    QString text;
    const int count = 1 + random.bounded(maxWords);
    for (int i = 0; i < count; ++i) {
        if (i)
            text += u' ';
        text += pickWord(random);
    }
    return text + QString::fromUtf8(decorations[random.bounded(int(decorations.size()))]);
}

} // namespace

QList<MediaNode> randomCatalog(uint64_t seed, int count)
{
    QRandomGenerator random{quint32(seed)};
    struct Category {
        QString id;
        QString name;
    };
    QList<Category> categories;
    const int categoryCount = 4 + random.bounded(30);
    for (int i = 0; i < categoryCount; ++i) {
        QString id = random.bounded(8) == 0 ? QString() : QString::number(random.bounded(12));
        categories.append({id, phrase(random, 2)});
    }
    QList<MediaNode> nodes;
    for (int i = 0; i < count; ++i) {
        const Category& category = categories[random.bounded(int(categories.size()))];
        const SignalKind kind = allSignalKinds[size_t(random.bounded(3))];
        // Small id range: the same id comes back in one kind and across kinds. Some ids are not ASCII (one starts
        // with a byte-order mark), as the engine keeps them as UTF-8.
        const int number = int(random.bounded(count / 2 + 1));
        QString id = QString::number(number);
        if (number % 5 == 1)
            id += QStringLiteral("ñ");
        else if (number % 7 == 2)
            id += QStringLiteral("ж🎬");
        else if (number % 11 == 3)
            id.prepend(QChar(0xFEFF));
        MediaNode n = entry(kind, id, phrase(random, 3), category.id, category.name, random.bounded(3) != 0);
        // Now and then an entry disagrees with its group on the name, or names itself only by its group name.
        if (random.bounded(10) == 0)
            n.groupName = phrase(random, 2);
        if (random.bounded(5) == 0)
            n.contentClassification = random.bounded(3) == 0 ? QStringLiteral("Generic") : QStringLiteral("generic");
        nodes.append(n);
    }
    return nodes;
}

} // namespace statetest
