#pragma once

// The snapshot tool's states: each arranges a fresh application (a new vault, the demo services running) into
// one state of the interface; the tool then shoots it in both languages at both window sizes.
#include "DemoServices.h"
#include "UiDriver.h"

#include "State/CommandDeck.h"
#include "UI/SendraApplication.h"

#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace sendra::snapshots {

// The tests' driver over the application's main window, with the demo services' roads; input is delivered at
// once (each state waits for what it needs).
class Driver : public testing::UiDriver
{
public:
    Driver(demo::DemoServices& services, ui::SendraApplication& app)
        : UiDriver([&app] { return app.window(); }, 0), services(services), app(app)
    {}

    CommandDeck& deck() const { return *app.deck(); }
    // The demo services answer a large catalogue: waits are longer than the tests'.
    bool waitFor(const std::function<bool()>& condition, int ms = 20000) { return UiDriver::waitFor(condition, ms); }
    void settle(int ms = 300) { idle(ms); }

    // Connects the free demo panel and, with a name, creates that identity (phase ready).
    bool connectFree(const QString& identity = QStringLiteral("Ana"));
    // Connects the free demo panel as "Ana" and plays its first film in the main window.
    bool playFirstFilm();
    // Starts the private road up to the access-code sheet.
    bool openCodeSheet();

    demo::DemoServices& services;
    ui::SendraApplication& app;
    // The window to shoot when it is not the main window (the floating player).
    QQuickWindow* shotWindow = nullptr;
};

struct State {
    QString name;
    std::function<bool(Driver&)> arrange;
};

// Each group of screens adds its states from a file of its own in this folder (*States.cpp), with
//     static const StateGroup group(10, [](std::vector<State>& states) { states.push_back({...}); });
// Groups run in the order of their rank.
class StateGroup
{
public:
    StateGroup(int rank, std::function<void(std::vector<State>&)> add);
    static std::vector<State> all();
};

} // namespace sendra::snapshots
