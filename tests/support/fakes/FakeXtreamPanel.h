#pragma once

#include "LoopbackServer.h"

#include <map>
#include <mutex>
#include <string>

namespace sendra::fakes {

// An Xtream Codes panel on 127.0.0.1: "/player_api.php" reads its query as PHP does ("+" is a blank) and answers
// by "action". Wrong credentials get {"user_info":{"auth":0}} whatever the action, as real panels do. Actions
// without an answer of their own get "[]" (lists) or "{}" (details). Every request is recorded.
class FakeXtreamPanel : public LoopbackServer
{
public:
    FakeXtreamPanel(std::string user = "demo", std::string password = "s3cret");
    ~FakeXtreamPanel() override;

    void setCredentials(std::string user, std::string password);
    // The answer to one action; "" is the account check (no action). A handler sees the whole request (for
    // "vod_id" and "series_id").
    void answer(const std::string& action, Reply reply);
    void answer(const std::string& action, Handler handler);

    // The requests of one action, in arrival order ("" for the account check).
    std::vector<RecordedRequest> requestsFor(const std::string& action) const;

    // The answer a real panel gives a good account check.
    static std::string acceptedAccount(const std::string& user);

private:
    Reply reply(const RecordedRequest& request);

    mutable std::mutex m_mutex;
    std::string m_user;
    std::string m_password;
    std::map<std::string, Handler> m_actions;
};

} // namespace sendra::fakes
