#pragma once

// A fake of what keeping needs of Windows (a protected folder, a copy, the Task Scheduler), which the host
// does not have: each part answers as told and remembers what was made.

#include "engine/keep_settings.h"

namespace Velmora::Testing {

class FakeKeepPlatform final : public KeepPlatform {
public:
    std::wstring ProgramFolder() override { return L"C:\\Program Files\\Velmora"; }
    std::wstring SourceProgram(std::wstring& error) override {
        error = L"none here";
        return source;
    }
    bool PrepareProgramFolder(std::wstring& error) override {
        error = folderRefusal;
        return folderRefusal.empty();
    }
    bool InstallProgram(const std::wstring&, std::wstring&) override { return installed = true; }
    bool RemoveProgram(std::wstring&) override {
        installed = false;
        return true;
    }
    bool ProgramInstalled() override { return installed; }
    bool RegisterTask(const std::wstring& xml, std::wstring& error) override {
        error = L"refused";
        if (taskRefused) {
            return false;
        }
        task =
            Task{xml.substr(xml.find(L"<Command>") + 9, xml.find(L"</Command>") - xml.find(L"<Command>") - 9),
                 kKeepTaskArguments};
        return true;
    }
    bool RemoveTask(std::wstring&) override {
        task.reset();
        return true;
    }
    std::optional<Task> ReadTask() override { return task; }

    std::wstring source = L"D:\\Downloads\\velmora-cli.exe";
    std::wstring folderRefusal;
    bool taskRefused = false;
    bool installed = false;
    std::optional<Task> task;
};

} // namespace Velmora::Testing
