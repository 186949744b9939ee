// Test support: screen-saver inhibitors that only keep score. While a ScopedFakeScreenSaver lives, every
// inhibitor the program makes is a fake reporting to it: whether the screen saver is held off now, and how
// often a hold was taken and given back.
#pragma once

#include "platform/desktop/ScreenSaver.h"
#include "platform/desktop/ScreenSaverHooks.h"

#include <atomic>
#include <memory>
#include <string>

class ScopedFakeScreenSaver {
public:
    ScopedFakeScreenSaver() {
        platform::SetScreenSaverFactory([this](const std::string& program, const std::string&) {
            this->program = program;
            return std::make_unique<Inhibitor>(*this);
        });
    }
    ~ScopedFakeScreenSaver() { platform::SetScreenSaverFactory({}); }
    ScopedFakeScreenSaver(const ScopedFakeScreenSaver&) = delete;
    ScopedFakeScreenSaver& operator=(const ScopedFakeScreenSaver&) = delete;

    std::atomic<int> holding{0}; // inhibitors that hold now
    std::atomic<int> taken{0};   // holds taken (a hold held again counts once)
    std::atomic<int> released{0};
    std::string program; // named by the last inhibitor made

private:
    class Inhibitor final : public platform::ScreenSaverInhibitor {
    public:
        explicit Inhibitor(ScopedFakeScreenSaver& score) : score_(score) {}
        ~Inhibitor() override { Release(); }
        bool Hold() override {
            if (!held_) {
                held_ = true;
                ++score_.holding;
                ++score_.taken;
            }
            return true;
        }
        void Release() override {
            if (held_) {
                held_ = false;
                --score_.holding;
                ++score_.released;
            }
        }

    private:
        ScopedFakeScreenSaver& score_;
        bool held_ = false;
    };
};
