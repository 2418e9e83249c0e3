// A view that keeps copies of what is dropped on it (the items live only
// during the call), for the drag-and-drop tests of every backend.
#pragma once

#include "gui/DropTarget.h"
#include "gui/View.h"

#include <functional>
#include <string>
#include <vector>

class RecordingDropView : public View {
public:
    explicit RecordingDropView(const Rect& r) : View(r) {}
    bool drop(void** items, int32_t n, int32_t kind, Point& where) override {
        ++drops;
        type = kind;
        count = n;
        at = where;
        received.clear();
        if (kind == DropTypeText) {
            received.push_back(static_cast<const char*>(items[0]));
        } else {
            for (int32_t i = 0; i < n; ++i) {
                received.push_back(static_cast<const char*>(items[i]));
            }
        }
        bool answer = takes;
        if (onDrop) {
            // The action may close the editor and so destroy this view: it runs
            // from a copy, and nothing of the view is touched after it.
            std::function<void()> action = onDrop;
            action();
        }
        return answer;
    }

    int32_t drops = 0;
    int32_t type = -1;
    int32_t count = -1;
    Point at{-1, -1};
    std::vector<std::string> received;
    // The drop's answer.
    bool takes = true;
    // Run at the end of a drop, when set.
    std::function<void()> onDrop;
};
