#include "Snapshots.h"

#include "UI/Deck.h"

namespace sendra::snapshots {

namespace {

void addEntryStates(std::vector<State>& states)
{
    states.push_back({QStringLiteral("access-idle"), [](Driver& d) { return d.waitFor([&] {
                          return d.deck().phase() == CommandDeck::Phase::access;
                      }); }});
    states.push_back({QStringLiteral("access-connecting"), [](Driver& d) {
                          SourceDraft draft;
                          draft.server = d.services.freePanel().toString();
                          draft.user = QStringLiteral("demo");
                          draft.password = QStringLiteral("wrong");
                          d.deck().setDraft(draft);
                          d.deck().connect();
                          return d.deck().isConnecting();
                      }});
    states.push_back({QStringLiteral("code-sheet"), [](Driver& d) { return d.openCodeSheet(); }});
    states.push_back({QStringLiteral("code-sheet-alert"), [](Driver& d) {
                          if (!d.openCodeSheet())
                              return false;
                          d.deck().setAccessCode(QStringLiteral("1111"));
                          d.deck().confirmPrivateAccess();
                          return d.waitFor([&] { return d.deck().errorMessage().has_value(); });
                      }});
    states.push_back({QStringLiteral("identities-empty"), [](Driver& d) { return d.connectFree(QString()); }});
    states.push_back({QStringLiteral("identities-three"), [](Driver& d) {
                          if (!d.connectFree(QString()))
                              return false;
                          for (const auto& [name, glyph] : {std::pair{"Ana", "scope"}, {"Bruno", "flame.fill"},
                                                            {"Carmen", "moon.stars.fill"}}) {
                              d.deck().addIdentity(QString::fromUtf8(name), QString::fromUtf8(glyph));
                              d.deck().setPhase(CommandDeck::Phase::profiles);
                          }
                          return true;
                      }});
    states.push_back({QStringLiteral("player-embedded"), [](Driver& d) {
                          if (!d.playFirstFilm())
                              return false;
                          return d.waitFor([&] { return d.find(QStringLiteral("playerScreen")) != nullptr; });
                      }});
}

const StateGroup entryStates(10, addEntryStates);

} // namespace

} // namespace sendra::snapshots
