#pragma once

#include "LoopbackServer.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <memory>
#include <string>

namespace sendra::fakes {

// The maker's platform service as the core library's client reaches it, on 127.0.0.1:
//   GET  /api/brands/<brand>/config                     the configuration set for that brand, else 404
//   GET  /api/catalog/<brand>/manifest?serverSlot&origin the published manifest when slot and origin match, else 404
//   GET  /api/catalog/<brand>/tv|movies|series|home?...   the published documents when version and generation match
//                                                        (409 otherwise); "catalogMode=protected" picks the
//                                                        protected documents
//   POST /api/access/validate                            {"valid":true} for an accepted code, {"valid":false} else
// The brand is read from the still-encoded path, so a "%2F" in it stays part of the brand.
class FakeCorePlatform : public LoopbackServer
{
public:
    struct Documents
    {
        QJsonArray tv;
        QJsonArray movies;
        QJsonArray series;
        QJsonObject home; // without "version": it is added
    };

    struct Publication
    {
        int slot = 1;
        QString origin;
        qint64 version = 1;
        QString generatedAt = QStringLiteral("2026-01-01T00:00:00Z");
        Documents normal;
        Documents protectedDocuments;
    };

    FakeCorePlatform();

    void setConfiguration(const std::string& brand, QJsonObject configuration);
    void publish(const std::string& brand, Publication publication);
    void acceptCode(const std::string& brand, const std::string& user, const std::string& code);

    struct State;

private:
    // Handlers run on server threads and may outlive this object's own members: they share the state instead.
    std::shared_ptr<State> m_state;
};

} // namespace sendra::fakes
