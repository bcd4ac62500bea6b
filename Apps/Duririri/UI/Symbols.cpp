#include "UI/Symbols.h"

#include <QFontDatabase>
#include <QHash>

#include <algorithm>
#include <iterator>

namespace sendra::ui {

namespace {

struct Entry {
    QStringView name;
    char32_t codepoint;
};

// System symbol name -> Material Icons codepoint (the Material name beside each). Where the font has no exact
// counterpart the closest glyph stands in.
constexpr Entry entries[] = {
    {u"antenna.radiowaves.left.and.right", 0xe8bf},  // settings_input_antenna
    {u"arrow.clockwise", 0xe5d5},                    // refresh
    {u"arrow.down", 0xe5db},                         // arrow_downward
    {u"arrow.down.right.and.arrow.up.left", 0xf1cf}, // close_fullscreen
    {u"arrow.right.circle.fill", 0xeaaa},            // arrow_circle_right
    {u"arrow.up", 0xe5d8},                           // arrow_upward
    {u"arrow.up.left.and.arrow.down.right", 0xf1ce}, // open_in_full
    {u"arrow.up.right", 0xf1e1},                     // north_east
    {u"arrow.up.right.circle.fill", 0xe89e},         // open_in_new
    {u"backward.end.fill", 0xe045},                  // skip_previous
    {u"bolt.shield.fill", 0xe32a},                   // security
    {u"captions.bubble", 0xe01c},                    // closed_caption
    {u"chevron.left", 0xe5cb},                       // chevron_left
    {u"chevron.right", 0xe5cc},                      // chevron_right
    {u"cube.transparent.fill", 0xe9fe},              // view_in_ar
    {u"dot.radiowaves.left.and.right", 0xe51e},      // sensors
    {u"envelope", 0xe0e1},                           // mail_outline
    {u"exclamationmark.triangle.fill", 0xe002},      // warning
    {u"eye.fill", 0xe8f4},                           // visibility
    {u"eye.slash.fill", 0xe8f5},                     // visibility_off
    {u"film.stack", 0xe02c},                         // movie
    {u"flame.fill", 0xef55},                         // local_fire_department
    {u"forward.end.fill", 0xe044},                   // skip_next
    {u"gauge.with.dots.needle.67percent", 0xe9e4},   // speed
    {u"globe", 0xe894},                              // language
    {u"gobackward.10", 0xe059},                      // replay_10
    {u"goforward.10", 0xe056},                       // forward_10
    {u"hand.raised", 0xe764},                        // back_hand
    {u"heart", 0xe87e},                              // favorite_border
    {u"heart.fill", 0xe87d},                         // favorite
    {u"key.horizontal", 0xe0da},                     // vpn_key
    {u"line.3.horizontal.decrease.circle", 0xe152},  // filter_list
    {u"link", 0xe157},                               // link
    {u"link.badge.plus", 0xe178},                    // add_link
    {u"lock.open.fill", 0xe898},                     // lock_open
    {u"lock.shield", 0xef3d},                        // admin_panel_settings
    {u"lock.shield.fill", 0xe9e0},                   // shield
    {u"magnifyingglass", 0xe8b6},                    // search
    {u"moon.stars.fill", 0xea46},                    // nights_stay
    {u"mountain.2.fill", 0xe3f7},                    // landscape
    {u"network", 0xe875},                            // dns
    {u"paperplane.fill", 0xe163},                    // send
    {u"pause.circle.fill", 0xe1a2},                  // pause_circle
    {u"pause.fill", 0xe034},                         // pause
    {u"person.2.fill", 0xe7ef},                      // group
    {u"person.badge.plus", 0xe7fe},                  // person_add
    {u"person.crop.hexagon", 0xe853},                // account_circle
    {u"person.text.rectangle", 0xea67},              // badge
    {u"pip.enter", 0xe911},                          // picture_in_picture_alt
    {u"pip.exit", 0xe8aa},                           // picture_in_picture
    {u"play.circle.fill", 0xe1c4},                   // play_circle
    {u"play.fill", 0xe037},                          // play_arrow
    {u"plus", 0xe145},                               // add
    {u"rectangle.on.rectangle", 0xe3e0},             // filter_none
    {u"rectangle.portrait.and.arrow.right", 0xe9ba}, // logout
    {u"rectangle.stack.badge.play", 0xe04a},         // video_library
    {u"scope", 0xe1b3},                              // gps_fixed
    {u"shield.lefthalf.filled", 0xf013},             // gpp_good
    {u"shuffle", 0xe043},                            // shuffle
    {u"sparkle.magnifyingglass", 0xf02f},            // manage_search
    {u"sparkles", 0xe65f},                           // auto_awesome
    {u"square.grid.3x3", 0xe3ec},                    // grid_on
    {u"square.grid.3x3.fill", 0xe5c3},               // apps
    {u"square.stack.3d.up.fill", 0xe53b},            // layers
    {u"switch.2", 0xe429},                           // tune
    {u"timer", 0xe425},                              // timer
    {u"triangle.fill", 0xe86b},                      // change_history
    {u"waveform", 0xe1b8},                           // graphic_eq
    {u"waveform.path.ecg", 0xeaa2},                  // monitor_heart
    {u"xmark.circle.fill", 0xe5c9},                  // cancel
};

constexpr char32_t fallback = 0xe887; // help: a question mark in a disc

const QHash<QString, char32_t>& table()
{
    static const QHash<QString, char32_t> map = [] {
        QHash<QString, char32_t> built;
        for (const Entry& entry : entries)
            built.insert(entry.name.toString(), entry.codepoint);
        return built;
    }();
    return map;
}

} // namespace

Symbols::Symbols(QObject* parent) : QObject(parent)
{
    fontFamily();
}

QString Symbols::fontFamily()
{
    static const QString family = [] {
        const int id =
            QFontDatabase::addApplicationFont(QStringLiteral(":/qt/qml/Sendra/App/assets/MaterialIcons-Regular.ttf"));
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        return families.isEmpty() ? QStringLiteral("Material Icons") : families.first();
    }();
    return family;
}

std::optional<char32_t> Symbols::codepoint(const QString& name)
{
    const auto found = table().constFind(name);
    if (found == table().constEnd())
        return std::nullopt;
    return *found;
}

char32_t Symbols::fallbackCodepoint()
{
    return fallback;
}

QString Symbols::glyph(const QString& name)
{
    const char32_t code = codepoint(name).value_or(fallback);
    return QString::fromUcs4(&code, 1);
}

QStringList Symbols::names()
{
    QStringList all;
    all.reserve(qsizetype(std::size(entries)));
    for (const Entry& entry : entries)
        all.append(entry.name.toString());
    return all;
}

QStringList Symbols::identityGlyphs()
{
    return {QStringLiteral("bolt.shield.fill"), QStringLiteral("scope"),
            QStringLiteral("sparkles"),         QStringLiteral("mountain.2.fill"),
            QStringLiteral("moon.stars.fill"),  QStringLiteral("flame.fill"),
            QStringLiteral("paperplane.fill"),  QStringLiteral("cube.transparent.fill")};
}

} // namespace sendra::ui
