#pragma once

#include <functional>
#include <memory>

#include "app/main_form.h"
#include "data_dir.h"
#include "platform/ini_file.h"
#include "temp_dir.h"
#include "ui/scripted_messages.h"

// A data directory named by its own settings file, started once (the administrator is on file),
// with a login that grants every right: what a test needs to open the main window on it.
struct MainWindowSetup
{
    DataDir dir;
    TempDir config;
    platform::IniFile ini{ config.path() / "TARNW.INI" };
    ui::ScriptedMessages messages;
    std::function<bool(app::MainData &)> login = [](app::MainData &data) {
        data.state().accessLevel = 9;
        return true;
    };

    MainWindowSetup()
    {
        ini.writeString("Drive", "Path", dir.directory());
        std::make_unique<app::TMainForm>(ini, messages, login).reset(); // the first start
    }
};
