// A movie library for tests: records every call with its arguments as one line of text and
// answers with scripted results. Handles are small numbers it hands out in order.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "preview/win/MovieServices.h"

class RecordingMovieServices final : public preview::MovieServices {
public:
    using Status = preview::Status;
    using Rect16 = preview::Rect16;

    // Script.
    bool available = true;
    Status openStatus = 0;
    Status movieStatus = 0;
    Rect16 naturalBox{0, 0, 240, 320};
    int32_t timeScale = 600;
    int32_t duration = 6000;
    int32_t controllerFlags = 0;
    Rect16 controllerBounds{};
    bool emptyMovies = true;
    bool cutGivesMovie = false;
    int32_t eventAnswer = 1;

    // Record.
    std::vector<std::string> calls;
    std::string lastFileName;  // the name of the last file specification, without its length byte
    preview::ActionFilterProc filter = nullptr;
    intptr_t filterReference = 0;
    preview::MovieEvent lastEvent{};

    // Calls made since the last Take, and forgets them.
    std::vector<std::string> Take() {
        std::vector<std::string> taken;
        taken.swap(calls);
        return taken;
    }

    static uintptr_t Id(preview::MovieHandle h) { return static_cast<uintptr_t>(h); }
    static uintptr_t Id(preview::ControllerHandle h) { return static_cast<uintptr_t>(h); }
    static uintptr_t Id(preview::PortHandle h) { return static_cast<uintptr_t>(h); }
    static uintptr_t Id(preview::FileRef h) { return static_cast<uintptr_t>(h); }
    // A window's port is numbered by the window, so that a test can name it.
    static uintptr_t PortOf(HWND window) { return reinterpret_cast<uintptr_t>(window); }

    Status Initialize(int32_t flags) override { return Log(0, "Initialize(%d)", int(flags)); }
    void Terminate() override { Log(0, "Terminate()"); }
    Status EnterMovies() override { return Log(0, "EnterMovies()"); }
    void ExitMovies() override { Log(0, "ExitMovies()"); }

    preview::PortHandle AssociatePort(HWND window, void* storage, int32_t flags) override {
        Log(0, "AssociatePort(%zu,%s,%d)", size_t(PortOf(window)), Ptr(storage), int(flags));
        return available ? preview::PortHandle{PortOf(window)} : preview::PortHandle::None;
    }
    preview::PortHandle GetWindowPort(HWND window) override {
        Log(0, "GetWindowPort(%zu)", size_t(PortOf(window)));
        return available && window ? preview::PortHandle{PortOf(window)} : preview::PortHandle::None;
    }
    void DissociatePort(preview::PortHandle port) override { Log(0, "DissociatePort(%zu)", size_t(Id(port))); }
    void SetCurrentPort(preview::PortHandle port, void* device) override {
        Log(0, "SetCurrentPort(%zu,%s)", size_t(Id(port)), Ptr(device));
    }
    void SizeWindow(preview::PortHandle port, int16_t w, int16_t h, bool redraw) override {
        Log(0, "SizeWindow(%zu,%d,%d,%d)", size_t(Id(port)), w, h, int(redraw));
    }

    Status MakeFileSpec(int16_t volume, int32_t directory, const unsigned char* name,
                        preview::FileSpec& fileSpec) override {
        lastFileName.assign(reinterpret_cast<const char*>(name + 1), name[0]);
        fileSpec = preview::FileSpec{};
        fileSpec.volume = volume;
        fileSpec.directory = directory;
        std::copy(name, name + name[0] + 1, fileSpec.name);
        return Log(0, "MakeFileSpec(%d,%d,%u)", volume, int(directory), unsigned(name[0]));
    }
    Status OpenMovieFile(const preview::FileSpec& fileSpec, preview::FileRef& ref, int8_t permission) override {
        const Status status = available ? openStatus : Status(-2093);
        ref = status == 0 ? preview::FileRef{++next_} : preview::FileRef::None;
        return Log(status, "OpenMovieFile(%u,%d)", unsigned(fileSpec.name[0]), int(permission));
    }
    Status NewMovieFromFile(preview::MovieHandle& movie, preview::FileRef ref, int16_t* resId, unsigned char* name,
                            int32_t flags) override {
        const Status status = available ? movieStatus : Status(-2093);
        movie = status == 0 ? preview::MovieHandle{++next_} : preview::MovieHandle::None;
        return Log(status, "NewMovieFromFile(%zu,%s,%s,%d)", size_t(Id(ref)), Ptr(resId), Ptr(name), int(flags));
    }
    Status CloseMovieFile(preview::FileRef ref) override { return Log(0, "CloseMovieFile(%zu)", size_t(Id(ref))); }
    int32_t GetTimeScale(preview::MovieHandle m) override {
        Log(0, "GetTimeScale(%zu)", size_t(Id(m)));
        return timeScale;
    }
    int32_t GetDuration(preview::MovieHandle m) override {
        Log(0, "GetDuration(%zu)", size_t(Id(m)));
        return duration;
    }
    Status GetNaturalBox(preview::MovieHandle m, Rect16& box) override {
        box = naturalBox;
        return Log(0, "GetNaturalBox(%zu)", size_t(Id(m)));
    }
    void OffsetRect(Rect16& r, int16_t dx, int16_t dy) override {
        Log(0, "OffsetRect(%d,%d)", dx, dy);
        r = Rect16{int16_t(r.top + dy), int16_t(r.left + dx), int16_t(r.bottom + dy), int16_t(r.right + dx)};
    }
    void UpdateMovie(preview::MovieHandle m) override { Log(0, "UpdateMovie(%zu)", size_t(Id(m))); }
    void DisposeMovie(preview::MovieHandle m) override { Log(0, "DisposeMovie(%zu)", size_t(Id(m))); }
    preview::MovieHandle NewEmptyMovie(int32_t flags) override {
        Log(0, "NewEmptyMovie(%d)", int(flags));
        return available && emptyMovies ? preview::MovieHandle{++next_} : preview::MovieHandle::None;
    }

    preview::ControllerHandle NewController(preview::MovieHandle m, const Rect16& r, uint8_t flags) override {
        Log(0, "NewController(%zu,{%d,%d,%d,%d},%d)", size_t(Id(m)), r.top, r.left, r.bottom, r.right, flags);
        return available ? preview::ControllerHandle{++next_} : preview::ControllerHandle::None;
    }
    Status GetControllerBounds(preview::ControllerHandle c, Rect16& bounds) override {
        bounds = controllerBounds;
        return Log(0, "GetControllerBounds(%zu)", size_t(Id(c)));
    }
    Status EnableEditing(preview::ControllerHandle c, bool on) override {
        return Log(0, "EnableEditing(%zu,%d)", size_t(Id(c)), int(on));
    }
    // Records the parameter as the action's code says it is carried.
    Status DoAction(preview::ControllerHandle c, int16_t action, void* p) override {
        switch (action) {
        case preview::kActionGetFlags:
            *static_cast<int32_t*>(p) = controllerFlags;
            return Log(0, "DoAction(%zu,39,&flags)", size_t(Id(c)));
        case preview::kActionSetGrowBoxBounds: {
            const auto& r = *static_cast<const Rect16*>(p);
            return Log(0, "DoAction(%zu,25,{%d,%d,%d,%d})", size_t(Id(c)), r.top, r.left, r.bottom, r.right);
        }
        case preview::kActionSetSelectionBegin:
        case preview::kActionSetSelectionDuration: {
            const auto& t = *static_cast<const preview::TimeRecord*>(p);
            return Log(0, "DoAction(%zu,%d,{%lld,%d,%s})", size_t(Id(c)), action, (long long)t.value, int(t.scale),
                       Ptr(t.base));
        }
        default:
            return Log(0, "DoAction(%zu,%d,%lld)", size_t(Id(c)), action, (long long)reinterpret_cast<intptr_t>(p));
        }
    }
    Status SetActionFilter(preview::ControllerHandle c, preview::ActionFilterProc proc, intptr_t ref) override {
        filter = proc;
        filterReference = ref;
        return Log(0, "SetActionFilter(%zu,%lld)", size_t(Id(c)), (long long)ref);
    }
    int32_t ControllerEvent(preview::ControllerHandle c, const preview::MovieEvent& event) override {
        lastEvent = event;
        Log(0, "ControllerEvent(%zu,%u)", size_t(Id(c)), event.message);
        return eventAnswer;
    }
    void DisposeController(preview::ControllerHandle c) override { Log(0, "DisposeController(%zu)", size_t(Id(c))); }

    preview::MovieHandle ControllerCut(preview::ControllerHandle c) override {
        Log(0, "ControllerCut(%zu)", size_t(Id(c)));
        return cutGivesMovie ? preview::MovieHandle{++next_} : preview::MovieHandle::None;
    }
    preview::MovieHandle ControllerCopy(preview::ControllerHandle c) override {
        Log(0, "ControllerCopy(%zu)", size_t(Id(c)));
        return cutGivesMovie ? preview::MovieHandle{++next_} : preview::MovieHandle::None;
    }
    Status ControllerPaste(preview::ControllerHandle c, preview::MovieHandle m) override {
        return Log(0, "ControllerPaste(%zu,%zu)", size_t(Id(c)), size_t(Id(m)));
    }
    Status ControllerClear(preview::ControllerHandle c) override { return Log(0, "ControllerClear(%zu)", size_t(Id(c))); }
    Status ControllerUndo(preview::ControllerHandle c) override { return Log(0, "ControllerUndo(%zu)", size_t(Id(c))); }
    Status PutMovieOnClipboard(preview::MovieHandle m, int32_t flags) override {
        return Log(0, "PutMovieOnClipboard(%zu,%d)", size_t(Id(m)), int(flags));
    }
    Status SaveSelfContained(preview::MovieHandle m, const preview::FileSpec& fileSpec, uint32_t creator, int16_t script,
                             int32_t flags) override {
        lastFileName.assign(reinterpret_cast<const char*>(fileSpec.name + 1), fileSpec.name[0]);
        const char code[5] = {char(creator >> 24), char(creator >> 16), char(creator >> 8), char(creator), 0};
        return Log(0, "SaveSelfContained(%zu,%s,%d,%d)", size_t(Id(m)), code, script, int(flags));
    }

private:
    static const char* Ptr(const void* p) { return p ? "set" : "null"; }

    Status Log(Status result, const char* format, ...) {
        char line[256];
        va_list args;
        va_start(args, format);
        vsnprintf(line, sizeof(line), format, args);
        va_end(args);
        calls.emplace_back(line);
        return result;
    }

    uintptr_t next_ = 0;
};
