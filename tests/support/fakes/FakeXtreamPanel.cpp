#include "FakeXtreamPanel.h"

#include <utility>

namespace sendra::fakes {

FakeXtreamPanel::FakeXtreamPanel(std::string user, std::string password)
    : m_user(std::move(user))
    , m_password(std::move(password))
{
    route("GET", "/player_api.php", [this](const RecordedRequest& request) { return reply(request); });
}

FakeXtreamPanel::~FakeXtreamPanel()
{
    stop();
}

void FakeXtreamPanel::setCredentials(std::string user, std::string password)
{
    std::lock_guard lock(m_mutex);
    m_user = std::move(user);
    m_password = std::move(password);
}

void FakeXtreamPanel::answer(const std::string& action, Reply reply)
{
    answer(action, [reply = std::move(reply)](const RecordedRequest&) { return reply; });
}

void FakeXtreamPanel::answer(const std::string& action, Handler handler)
{
    std::lock_guard lock(m_mutex);
    m_actions[action] = std::move(handler);
}

std::vector<RecordedRequest> FakeXtreamPanel::requestsFor(const std::string& action) const
{
    std::vector<RecordedRequest> found;
    for (const RecordedRequest& request : requests())
        if (request.path == "/player_api.php" && request.queryValue("action").value_or("") == action)
            found.push_back(request);
    return found;
}

std::string FakeXtreamPanel::acceptedAccount(const std::string& user)
{
    return R"({"user_info":{"username":")" + user
           + R"(","auth":1,"status":"Active","exp_date":"1924988399","is_trial":"0","active_cons":"0",)"
             R"("max_connections":"1","allowed_output_formats":["m3u8","ts"]},)"
             R"("server_info":{"url":"127.0.0.1","port":"80","server_protocol":"http","timezone":"Europe\/Madrid"}})";
}

Reply FakeXtreamPanel::reply(const RecordedRequest& request)
{
    const std::string action = request.queryValue("action").value_or("");
    Handler handler;
    std::string user;
    {
        std::lock_guard lock(m_mutex);
        if (request.queryValue("username") != m_user || request.queryValue("password") != m_password)
            return Reply::json(R"({"user_info":{"auth":0}})");
        const auto found = m_actions.find(action);
        if (found != m_actions.end())
            handler = found->second;
        user = m_user;
    }
    if (handler)
        return handler(request);
    if (action.empty())
        return Reply::json(acceptedAccount(user));
    const bool details = action == "get_vod_info" || action == "get_series_info";
    return Reply::json(details ? "{}" : "[]");
}

} // namespace sendra::fakes
