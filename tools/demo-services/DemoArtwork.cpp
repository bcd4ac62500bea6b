#include "DemoArtwork.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <array>
#include <mutex>
#include <string>
#include <unordered_map>

namespace sendra::demo {

namespace {

using fakes::RecordedRequest;
using fakes::Reply;

constexpr const char* lastModified = "Thu, 01 Jan 2026 00:00:00 GMT";
constexpr const char* cacheControl = "public, max-age=86400";

struct Kind
{
    const char* folder;
    QSize size;
};

constexpr std::array<Kind, 5> kinds{Kind{"poster/", {480, 720}}, Kind{"logo/", {400, 400}},
                                    Kind{"wide/", {1280, 720}}, Kind{"brand/", {720, 240}},
                                    Kind{"isotype/", {256, 256}}};

struct Colours
{
    QColor light;
    QColor dark;
    QColor accent;
};

const std::array<Colours, 8>& palette()
{
    static const std::array<Colours, 8> colours{
        Colours{QColor(0x1f3b73), QColor(0x0d1b2a), QColor(0xf4a261)},
        Colours{QColor(0x6a040f), QColor(0x1b0000), QColor(0xffba08)},
        Colours{QColor(0x1b4332), QColor(0x081c15), QColor(0x95d5b2)},
        Colours{QColor(0x3c096c), QColor(0x10002b), QColor(0xe0aaff)},
        Colours{QColor(0x7f5539), QColor(0x2b1a10), QColor(0xede0d4)},
        Colours{QColor(0x005f73), QColor(0x001219), QColor(0x94d2bd)},
        Colours{QColor(0x9d0208), QColor(0x370617), QColor(0xfaa307)},
        Colours{QColor(0x22223b), QColor(0x0b0b14), QColor(0xc9ada7)},
    };
    return colours;
}

// FNV-1a: the same address always gets the same style and colours.
quint64 fingerprint(QStringView text)
{
    quint64 hash = 0xcbf29ce484222325ULL;
    for (const QChar c : text) {
        hash ^= c.unicode();
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

// The largest pixel size (from `largest` down) at which `text` fits `box` with these flags.
void fitText(QPainter& painter, const QRect& box, const QString& text, int largest, int flags)
{
    QFont font = painter.font();
    font.setBold(true);
    for (int size = largest; size >= 12; size -= 2) {
        font.setPixelSize(size);
        const QRect needed = QFontMetrics(font).boundingRect(box, flags, text);
        if (needed.width() <= box.width() && needed.height() <= box.height())
            break;
    }
    painter.setFont(font);
    painter.drawText(box, flags, text);
}

QColor withAlpha(QColor colour, int alpha)
{
    colour.setAlpha(alpha);
    return colour;
}

// The backdrop every filled picture starts from, in one of four styles.
void backdrop(QPainter& painter, const QSize& size, const Colours& colours, quint64 hash, const QString& title)
{
    const int w = size.width();
    const int h = size.height();
    QLinearGradient base(0, 0, w, h);
    base.setColorAt(0, colours.light);
    base.setColorAt(1, colours.dark);
    painter.fillRect(QRect(QPoint(0, 0), size), base);
    painter.setPen(Qt::NoPen);
    switch ((hash >> 8) % 4) {
    case 0: // diagonal bands
        painter.save();
        painter.translate(w / 2.0, h / 2.0);
        painter.rotate(-30);
        for (int i = -6; i <= 6; i += 2)
            painter.fillRect(QRectF(i * w / 8.0, -h, w / 16.0, 2.0 * h), withAlpha(colours.accent, 40));
        painter.restore();
        break;
    case 1: { // rings
        const QPointF centre(w * 0.72, h * 0.3);
        painter.setBrush(Qt::NoBrush);
        for (int r = 1; r <= 7; ++r) {
            painter.setPen(QPen(withAlpha(colours.accent, 120 - r * 14), std::max(w, h) / 90.0));
            painter.drawEllipse(centre, r * std::max(w, h) / 14.0, r * std::max(w, h) / 14.0);
        }
        painter.setPen(Qt::NoPen);
        break;
    }
    case 2: { // a sun behind the title
        QRadialGradient glow(QPointF(w * 0.5, h * 0.35), std::max(w, h) * 0.45);
        glow.setColorAt(0, withAlpha(colours.accent, 200));
        glow.setColorAt(0.35, withAlpha(colours.accent, 90));
        glow.setColorAt(1, withAlpha(colours.accent, 0));
        painter.fillRect(QRect(QPoint(0, 0), size), glow);
        break;
    }
    default: { // the title's first letter, large and faint
        QFont font = painter.font();
        font.setBold(true);
        font.setPixelSize(int(h * 0.8));
        painter.setFont(font);
        painter.setPen(withAlpha(colours.accent, 55));
        painter.drawText(QRect(QPoint(0, -h / 10), size), Qt::AlignCenter, title.left(1).toUpper());
        painter.setPen(Qt::NoPen);
        break;
    }
    }
}

// The title sits in the middle third, so a wide crop of the poster (carousel, detail sheet) still shows it.
void poster(QPainter& painter, const QSize& size, const Colours& colours, quint64 hash, const QString& title)
{
    backdrop(painter, size, colours, hash, title);
    const int w = size.width();
    const int h = size.height();
    QLinearGradient shade(0, h * 0.3, 0, h * 0.7);
    shade.setColorAt(0, QColor(0, 0, 0, 0));
    shade.setColorAt(0.2, QColor(0, 0, 0, 150));
    shade.setColorAt(0.8, QColor(0, 0, 0, 150));
    shade.setColorAt(1, QColor(0, 0, 0, 0));
    painter.fillRect(QRect(0, int(h * 0.3), w, int(h * 0.4)), shade);
    painter.fillRect(QRect(w / 10, int(h * 0.385), w / 5, h / 120 + 2), colours.accent);
    painter.setPen(Qt::white);
    fitText(painter, QRect(w / 10, int(h * 0.41), w * 8 / 10, int(h * 0.23)), title, h / 11,
            Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap);
}

void wide(QPainter& painter, const QSize& size, const Colours& colours, quint64 hash, const QString& title)
{
    backdrop(painter, size, colours, hash, title);
    const int w = size.width();
    const int h = size.height();
    QLinearGradient shade(0, 0, w * 0.7, 0);
    shade.setColorAt(0, QColor(0, 0, 0, 190));
    shade.setColorAt(1, QColor(0, 0, 0, 0));
    painter.fillRect(QRect(QPoint(0, 0), size), shade);
    painter.fillRect(QRect(w / 16, int(h * 0.5), w / 12, h / 90 + 2), colours.accent);
    painter.setPen(Qt::white);
    fitText(painter, QRect(w / 16, int(h * 0.53), w / 2, int(h * 0.38)), title, h / 9,
            Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap);
}

// A channel's name without its region and quality tags: "ES | Noche 12 HD" shows "Noche 12".
QString channelName(const QString& title)
{
    QString name = title.section(u'|', -1).trimmed();
    for (const char* tag : {" HEVC", " FHD", " HD", " SD", " 4K"}) {
        if (name.endsWith(QLatin1String(tag)))
            name.chop(qsizetype(qstrlen(tag)));
    }
    return name.isEmpty() ? title : name;
}

void logo(QPainter& painter, const QSize& size, const Colours& colours, quint64 hash, const QString& title)
{
    const int w = size.width();
    const int h = size.height();
    QPainterPath card;
    card.addRoundedRect(QRectF(w * 0.04, h * 0.04, w * 0.92, h * 0.92), w * 0.16, w * 0.16);
    QLinearGradient fill(0, 0, 0, h);
    fill.setColorAt(0, colours.light);
    fill.setColorAt(1, colours.dark);
    painter.fillPath(card, fill);
    painter.setClipPath(card);
    painter.setPen(Qt::NoPen);
    painter.setBrush(withAlpha(colours.accent, 70));
    if (hash % 2 == 0)
        painter.drawEllipse(QPointF(w * 0.85, h * 0.15), w * 0.45, w * 0.45);
    else
        painter.drawRect(QRectF(0, h * 0.68, w, h * 0.05));
    painter.setClipping(false);
    // The name keeps to the middle three fifths, so a portrait crop of the logo (library tiles) shows it whole.
    const QString name = channelName(title);
    painter.setPen(colours.accent);
    fitText(painter, QRect(w / 5, h / 5, w * 3 / 5, h * 2 / 5), name.section(u' ', 0, 0), h / 5,
            Qt::AlignCenter | Qt::TextWordWrap);
    painter.setPen(Qt::white);
    fitText(painter, QRect(w / 5, h * 5 / 8, w * 3 / 5, h / 5), name.section(u' ', 1), h / 10,
            Qt::AlignCenter | Qt::TextWordWrap);
}

void brand(QPainter& painter, const QSize& size, const Colours& colours, quint64, const QString& title)
{
    const int h = size.height();
    painter.setPen(Qt::NoPen);
    QRadialGradient mark(QPointF(h * 0.5, h * 0.5), h * 0.4);
    mark.setColorAt(0, colours.accent);
    mark.setColorAt(1, colours.light);
    painter.setBrush(mark);
    painter.drawEllipse(QPointF(h * 0.5, h * 0.5), h * 0.38, h * 0.38);
    painter.setPen(Qt::white);
    fitText(painter, QRect(h, h / 6, size.width() - h - h / 8, h * 2 / 3), title, h / 3,
            Qt::AlignLeft | Qt::AlignVCenter);
}

void isotype(QPainter& painter, const QSize& size, const Colours& colours, quint64, const QString& title)
{
    const int w = size.width();
    QLinearGradient fill(0, 0, w, w);
    fill.setColorAt(0, colours.accent);
    fill.setColorAt(1, colours.light);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawEllipse(QRectF(w * 0.04, w * 0.04, w * 0.92, w * 0.92));
    painter.setPen(Qt::white);
    fitText(painter, QRect(QPoint(0, 0), size), title.left(1).toUpper(), w / 2, Qt::AlignCenter);
}

// Drawn pictures are kept for the next client: a few hundred at most, forgotten all at once.
class Drawn
{
public:
    std::shared_ptr<const std::string> find(const std::string& key)
    {
        std::lock_guard lock(m_mutex);
        const auto found = m_pictures.find(key);
        return found == m_pictures.end() ? nullptr : found->second;
    }
    void keep(const std::string& key, std::shared_ptr<const std::string> picture)
    {
        std::lock_guard lock(m_mutex);
        if (m_pictures.size() >= 600)
            m_pictures.clear();
        m_pictures.emplace(key, std::move(picture));
    }

private:
    std::mutex m_mutex;
    std::unordered_map<std::string, std::shared_ptr<const std::string>> m_pictures;
};

void addCachingHeaders(Reply& reply, const std::string& etag)
{
    reply.headers.emplace_back("Cache-Control", cacheControl);
    reply.headers.emplace_back("Last-Modified", lastModified);
    reply.headers.emplace_back("ETag", etag);
}

Reply answer(const RecordedRequest& request, Drawn& drawn)
{
    QString path = QString::fromStdString(request.path).mid(5); // after "/art/"
    if (path.startsWith(u"missing/"))
        return Reply::empty(404);
    const bool slow = path.startsWith(u"slow/");
    if (slow)
        path = path.mid(5);
    if (!artwork::sizeFor(path))
        return Reply::empty(404);
    QString title = QString::fromStdString(request.queryValue("t").value_or(std::string()));
    if (title.trimmed().isEmpty())
        title = path.section(u'/', -1).section(u'.', 0, 0);

    const std::string key = path.toStdString() + '\n' + title.toStdString();
    const std::string etag = '"' + QByteArray::number(fingerprint(QString::fromStdString(key)), 16).toStdString() + '"';
    const auto sameTag = request.header("If-None-Match");
    const auto sameDate = request.header("If-Modified-Since");
    if ((sameTag && sameTag->find(etag) != std::string::npos) || (!sameTag && sameDate == std::string(lastModified))) {
        Reply unchanged = Reply::empty(304);
        addCachingHeaders(unchanged, etag);
        return unchanged;
    }

    std::shared_ptr<const std::string> picture = drawn.find(key);
    if (!picture) {
        picture = std::make_shared<const std::string>(artwork::draw(path, title).toStdString());
        drawn.keep(key, picture);
    }
    Reply reply = Reply::text(*picture);
    reply.contentType = path.endsWith(u".png") ? "image/png" : "image/jpeg";
    addCachingHeaders(reply, etag);
    if (slow)
        reply.delay = artwork::slowDelay;
    return reply;
}

} // namespace

namespace artwork {

std::optional<QSize> sizeFor(const QString& path)
{
    if (!path.endsWith(u".png") && !path.endsWith(u".jpg"))
        return std::nullopt;
    for (const Kind& kind : kinds) {
        if (path.startsWith(QLatin1String(kind.folder)) && path.size() > qsizetype(qstrlen(kind.folder)) + 4
            && path.indexOf(u'/', qsizetype(qstrlen(kind.folder))) < 0)
            return kind.size;
    }
    return std::nullopt;
}

QByteArray draw(const QString& path, const QString& title)
{
    const std::optional<QSize> size = sizeFor(path);
    if (!size)
        return {};
    const bool png = path.endsWith(u".png");
    const quint64 hash = fingerprint(path);
    const Colours& colours = palette()[hash % palette().size()];
    QImage image(*size, png ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
        const QString folder = path.section(u'/', 0, 0);
        if (folder == u"poster")
            poster(painter, *size, colours, hash, title);
        else if (folder == u"wide")
            wide(painter, *size, colours, hash, title);
        else if (folder == u"logo")
            logo(painter, *size, colours, hash, title);
        else if (folder == u"brand")
            brand(painter, *size, colours, hash, title);
        else
            isotype(painter, *size, colours, hash, title);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, png ? "PNG" : "JPEG", png ? -1 : 85);
    return bytes;
}

} // namespace artwork

void routeArtwork(fakes::LoopbackServer& server)
{
    // The font database is filled on the first text drawn: here, on the thread that owns the application,
    // rather than on a server thread.
    static const bool fontsReady = !artwork::draw(QStringLiteral("isotype/ready.png"), QStringLiteral("S")).isEmpty();
    Q_UNUSED(fontsReady);
    auto drawn = std::make_shared<Drawn>();
    server.route("GET", "/art/*", [drawn](const RecordedRequest& request) { return answer(request, *drawn); });
}

} // namespace sendra::demo
