// A small menu drawn by the toolkit in the panel's own look: a metal plate
// with an engraved title and one line per item, the current item on a dark
// red plate. Shown above every other view by its frame (Frame::openPopup); a
// press on an item chooses it, a press anywhere else closes the menu.
#pragma once

#include "gui/View.h"

#include <cstdint>
#include <string>
#include <vector>

class PopupMenu;

// Told when the user chose an item of a menu (after the menu has closed).
class PopupMenuListener {
public:
    virtual void itemChosen(PopupMenu* menu, int32_t index) = 0;

protected:
    ~PopupMenuListener() = default;
};

class PopupMenu : public View {
public:
    static constexpr int32_t kWidth = 64;
    static constexpr int32_t kTitleHeight = 14;
    static constexpr int32_t kItemHeight = 14;

    // A menu whose top-left corner is `where`, moved as little as needed to lie
    // inside `bounds` (the frame's size). `marked` is the current item (-1:
    // none). Items are short single-line texts.
    PopupMenu(const Point& where, const Rect& bounds, const char* title,
              const std::vector<std::string>& items, int32_t marked, PopupMenuListener* listener,
              int32_t tag = 0);

    void draw(DrawContext* context) override;
    void drawArea(DrawContext* context, const Rect& area) override { draw(context); }
    // Inside an item: closes the menu and reports the item. Anywhere else
    // (the title, outside the menu): only closes it. Any button.
    void mouseDown(DrawContext* context, Point& where) override;

    // The item under a point, or -1.
    int32_t itemAt(const Point& where) const;
    // Where item i lies (outline included), in frame coordinates.
    Rect itemRect(int32_t index) const;
    int32_t getMarked() const { return marked; }
    int32_t getItemCount() const { return static_cast<int32_t>(items.size()); }
    int32_t getTag() const { return tag; }

private:
    std::string title;
    std::vector<std::string> items;
    int32_t marked;
    PopupMenuListener* listener;
    int32_t tag;
};
