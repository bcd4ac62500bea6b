// The catalogue refresh: only a brand server with a prepared catalogue has one. The platform is asked again
// whether the panel may be used, before and after the load; a failure keeps the catalogue shown. Cancellation
// (a parental switch, a new connection, unlinking) and a result for a session the deck no longer holds end the
// refresh silently.
#include "State/CommandDeck.h"
#include "State/ReleaseOnWorker.h"

#include "Domain/CommandError.h"
#include "State/CountedText.h"

#include <QCoro/QCoroFuture>
#include <QPointer>

namespace sendra {

namespace {

using netkit::CancelToken;
using netkit::throwIfCancelled;

constexpr const char* runningText = L10n::noop("Consultando la versión más reciente…");
constexpr const char* nothingText = L10n::noop("No hay una actualización disponible para esta fuente.");
constexpr const char* failureText =
    L10n::noop("No fue posible actualizar el contenido. Se conserva la versión anterior.");
constexpr const char* failureTitle = L10n::noop("No se pudo actualizar");
constexpr const char* changedText = L10n::noop("Contenido actualizado: %lld elementos (versión %lld).");
constexpr const char* changedTitle = L10n::noop("Actualización terminada");
constexpr const char* sameText = L10n::noop("Ya tienes la versión más reciente: %lld elementos (versión %lld).");
constexpr const char* sameTitle = L10n::noop("Contenido revisado");

// Fixed texts are published in Spanish, the lookup's key: the screen translates them, so a language switch
// redraws them too. Texts with counts are formatted in the language of the moment.
QString text(const char* spanish)
{
    return QString::fromUtf8(spanish);
}

bool isCancellation(const std::exception_ptr& failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const netkit::Cancelled&) {
        return true;
    } catch (...) {
        return false;
    }
}

[[noreturn]] void refuse()
{
    throw CommandFailure(CommandError::unauthorizedOrigin);
}

} // namespace

void CommandDeck::refreshCatalog()
{
    if (m_isRefreshingCatalog)
        return;
    {
        const Batch batch(*this);
        assign(m_isRefreshingCatalog, true, {&CommandDeck::isRefreshingCatalogChanged});
        assign(m_catalogRefreshMessage, std::optional<QString>(text(runningText)),
               {&CommandDeck::catalogRefreshMessageChanged});
        setCatalogRefreshNotice(std::nullopt);
    }
    const RefreshOrigin origin{m_provider,      m_activeBrand, m_panelSlot, m_catalogBrand, m_preparedCatalogVersion,
                               m_parentalEnabled};
    m_catalogTask.start([this, origin](CancelToken token) { return refreshTask(origin, std::move(token)); });
}

QCoro::Task<void> CommandDeck::refreshTask(RefreshOrigin origin, CancelToken token)
{
    // Tasks start at once, so this is set before anything can end the run.
    m_refreshToken = token;
    if (!origin.provider || !origin.slot || !origin.catalogBrand || origin.catalogBrand->isEmpty()) {
        endRefresh(token, text(nothingText), text(failureTitle));
        co_return;
    }
    const QPointer<CommandDeck> self(this);
    const ProviderSession provider = *origin.provider;
    std::exception_ptr failure;
    try {
        co_await authorizeRefresh(provider, origin.brand, token);
        throwIfCancelled(token);
        LoadedCatalog loaded = co_await m_clients.panel->preparedCatalog(*origin.catalogBrand, *origin.slot,
                                                                         provider.origin, origin.parental, token);
        throwIfCancelled(token);
        co_await authorizeRefresh(provider, origin.brand, token);
        throwIfCancelled(token);
        // A result for a session the deck no longer holds is dropped like a cancellation.
        if (!(m_provider == origin.provider))
            throw netkit::Cancelled();
        const qint64 count = loaded.nodes.size();
        std::shared_ptr<const CatalogEntries> entries = co_await prepareLoaded(std::move(loaded.nodes), token);
        if (!(m_provider == origin.provider)) {
            releaseOnWorker(std::move(entries));
            throw netkit::Cancelled();
        }

        const Batch batch(*this);
        installCatalog(std::move(entries), loaded.feed, FeedSource::visibleEntries);
        m_preparedCatalogVersion = loaded.preparedVersion;
        const std::optional<qint64>& previous = origin.previousVersion;
        const bool changed = !loaded.preparedVersion || !previous || *loaded.preparedVersion != *previous;
        const qint64 shown = loaded.preparedVersion.value_or(previous.value_or(0));
        endRefresh(token, countedText(changed ? changedText : sameText, {count, shown}),
                   text(changed ? changedTitle : sameTitle));
        co_return;
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return;
    if (token.isCancelled() || isCancellation(failure))
        endRefresh(token, std::nullopt, std::nullopt);
    else
        endRefresh(token, text(failureText), text(failureTitle));
}

void CommandDeck::endRefresh(const CancelToken& token, const std::optional<QString>& message,
                             const std::optional<QString>& title)
{
    if (!(m_refreshToken == token))
        return;
    const Batch batch(*this);
    assign(m_catalogRefreshMessage, message, {&CommandDeck::catalogRefreshMessageChanged});
    if (message && title)
        setCatalogRefreshNotice(CatalogRefreshNotice{QUuid::createUuid(), *title, *message});
    assign(m_isRefreshingCatalog, false, {&CommandDeck::isRefreshingCatalogChanged});
}

QCoro::Task<void> CommandDeck::authorizeRefresh(ProviderSession source, BrandPresentation brand, CancelToken token)
{
    if (brand.privateAccess && !brand.identifier.isEmpty()) {
        const BrandResolution resolution = co_await m_clients.panel->resolve(brand.identifier, token);
        if (!resolution.rules.matchingOrigin(source.origin))
            refuse();
        co_return;
    }
    const BrandResolution resolution = co_await m_clients.panel->resolve(source.origin, false, token);
    if (!resolution.permitsProviderAuthentication(source.origin, false))
        refuse();
}

} // namespace sendra
