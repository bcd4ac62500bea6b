// The parental filter: a four-digit PIN switches it on; switching filters the catalogue already held at once and,
// for a brand server with a prepared catalogue, reloads that catalogue in its protected or normal build.
#include "State/CommandDeck.h"
#include "State/ReleaseOnWorker.h"

#include "Storage/CommandVault.h"

#include <QCoro/QCoroFuture>
#include <QPointer>
#include <QTextBoundaryFinder>

namespace sendra {

namespace {

using netkit::CancelToken;
using netkit::throwIfCancelled;

// Four user-perceived characters, each a number of any script (as a character whose first code point has a
// numeric value: "٣" and "½" count, "a" does not).
bool isFourNumberPIN(const QString& pin)
{
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, pin);
    int count = 0;
    qsizetype start = 0;
    for (qsizetype end = graphemes.toNextBoundary(); end > 0; start = end, end = graphemes.toNextBoundary()) {
        const char32_t first = pin.at(start).isHighSurrogate() && start + 1 < end
                                   ? QChar::surrogateToUcs4(pin.at(start), pin.at(start + 1))
                                   : char32_t(pin.at(start).unicode());
        if (++count > 4 || !QChar::isNumber(first))
            return false;
    }
    return count == 4;
}

} // namespace

std::optional<QString> CommandDeck::activateParental(const QString& pin, const QString& confirmation)
{
    if (!isFourNumberPIN(pin))
        return QString::fromUtf8(L10n::noop("El PIN debe tener cuatro números."));
    if (confirmation != pin)
        return QString::fromUtf8(L10n::noop("Los PIN no coinciden."));
    // Protection without a stored PIN could never be switched off again: a PIN that was not saved switches nothing.
    if (!m_vault.setPIN(pin))
        return QString::fromUtf8(L10n::noop("No fue posible guardar el PIN."));
    setParental(true);
    return std::nullopt;
}

void CommandDeck::setParental(bool enabled)
{
    m_catalogTask.cancel();
    {
        const Batch batch(*this);
        assign(m_parentalEnabled, enabled, {&CommandDeck::parentalEnabledChanged});
        m_vault.setParentalEnabled(enabled);
        // Without a loaded catalogue there is nothing to filter (and no feed to build).
        if (m_unfilteredNodes)
            installCatalog(m_unfilteredNodes, std::nullopt, FeedSource::visibleEntries);
    }
    if (!m_provider || !m_panelSlot || !m_catalogBrand)
        return;
    const ProviderSession provider = *m_provider;
    const int slot = *m_panelSlot;
    const QString catalogBrand = *m_catalogBrand;
    m_catalogTask.start([this, provider, slot, catalogBrand, enabled](CancelToken token) {
        return parentalReload(provider, slot, catalogBrand, enabled, std::move(token));
    });
}

QCoro::Task<void> CommandDeck::parentalReload(ProviderSession provider, int slot, QString catalogBrand, bool enabled,
                                              CancelToken token)
{
    const QPointer<CommandDeck> self(this);
    // A reload for a session or a setting that has changed meanwhile is dropped.
    const auto stale = [this, &provider, enabled] { return !(m_provider == provider) || m_parentalEnabled != enabled; };
    std::exception_ptr failure;
    try {
        // The connection's own load: the prepared build for the flag as it is now, else the panel's whole
        // catalogue (but not after a cancelled request).
        ConnectionFinish source;
        source.portalSession = provider;
        source.slot = slot;
        source.catalogSlug = catalogBrand;
        LoadedCatalog loaded = co_await loadCatalog(std::move(source), token);
        throwIfCancelled(token);
        if (stale())
            co_return;
        std::shared_ptr<const CatalogEntries> entries = co_await prepareLoaded(std::move(loaded.nodes), token);
        if (stale()) {
            releaseOnWorker(std::move(entries));
            co_return;
        }
        installCatalog(std::move(entries), loaded.feed, FeedSource::visibleEntries);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self || !failure || token.isCancelled() || !(m_provider == provider))
        co_return;
    setErrorMessage(
        L10n::text("No fue posible actualizar el catálogo. Se conserva la vista actual; vuelve a intentarlo."));
}

} // namespace sendra
