// A small menu drawn by the toolkit in the panel's own look: a metal plate
// with, for each of its parts, an engraved title and one line per item, the
// current item on a dark red plate. Shown above every other view by its frame
// (Frame::openPopup); a press on an item chooses it, a press anywhere else
// closes the menu.
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

    // One part of a menu: a title over its items, one of which may be the
    // current one (-1: none). Items are short single-line texts.
    struct Section {
        std::string title;
        std::vector<std::string> items;
        int32_t marked = -1;
    };

    // A menu whose top-left corner is `where`, moved as little as needed to lie
    // inside `bounds` (the frame's size), of several parts, one under the other,
    // `width` wide. Items are numbered through all parts in order.
    PopupMenu(const Point& where, const Rect& bounds, const std::vector<Section>& sections,
              PopupMenuListener* listener, int32_t tag = 0, int32_t width = kWidth);

    void draw(DrawContext* context) override;
    void drawArea(DrawContext* context, const Rect& area) override { draw(context); }
    // Inside an item: closes the menu and reports the item. Anywhere else
    // (the title, outside the menu): only closes it. Any button.
    void mouseDown(DrawContext* context, Point& where) override;

    // The item under a point, or -1.
    int32_t itemAt(const Point& where) const;
    // Where item i lies (outline included), in frame coordinates.
    Rect itemRect(int32_t index) const;
    // The first current item, or -1.
    int32_t getMarked() const;
    bool isMarked(int32_t index) const;
    int32_t getItemCount() const { return static_cast<int32_t>(items.size()); }
    // The item with this text, or -1.
    int32_t findItem(const std::string& text) const;
    int32_t getTag() const { return tag; }

private:
    // An item with where it lies below the menu's top.
    struct Item {
        std::string text;
        int32_t top;
        bool marked;
    };
    // A part's title with where it lies below the menu's top.
    struct Title {
        std::string text;
        int32_t top;
    };
    std::vector<Title> titles;
    std::vector<Item> items;
    PopupMenuListener* listener;
    int32_t tag;
};
