// The menu's placement, its drawing in the panel's look and the choice of an item.
#include "gui/controls/PopupMenu.h"

#include "gui/DrawContext.h"
#include "gui/Frame.h"

#include <algorithm>

namespace {

// The panel's colours: its metal, its dark edge and light bevel, the
// engraved letters, and the title plate's red with its light letters.
constexpr Colour kFace(214, 215, 219);
constexpr Colour kEdge(70, 72, 78);
constexpr Colour kBevel(255, 255, 255);
constexpr Colour kGroove(98, 100, 106);
constexpr Colour kLetters(44, 44, 47);
constexpr Colour kPlate(112, 16, 16);
constexpr Colour kPlateEdge(40, 3, 4);
constexpr Colour kPlateLetters(246, 238, 226);

constexpr int32_t kTitleFont = 6; // 9 pixels, drawn bold
constexpr int32_t kItemFont = 4;  // 11 pixels, as the value boxes
constexpr int32_t kInset = 3;     // items' distance from the menu's edge
constexpr int32_t kItemsTop = PopupMenu::kTitleHeight + 2;

int32_t menuHeight(const std::vector<PopupMenu::Section>& sections) {
    int32_t height = 1;
    for (const PopupMenu::Section& section : sections) {
        height += kItemsTop + static_cast<int32_t>(section.items.size()) * PopupMenu::kItemHeight;
    }
    return height;
}

Rect placeMenu(const Point& where, const Rect& bounds, int32_t width, int32_t height) {
    Rect r(where.x, where.y, where.x + width, where.y + height);
    // Right and bottom edges are drawn too, so they must lie inside as well.
    r.offset(std::min(0, bounds.right - 1 - r.right), std::min(0, bounds.bottom - 1 - r.bottom));
    r.offset(std::max(0, bounds.left - r.left), std::max(0, bounds.top - r.top));
    return r;
}

} // namespace

PopupMenu::PopupMenu(const Point& where, const Rect& bounds, const std::vector<Section>& sections,
                     PopupMenuListener* owner, int32_t menuTag, int32_t width)
    : View(placeMenu(where, bounds, width, menuHeight(sections))), listener(owner), tag(menuTag) {
    int32_t top = 0;
    for (const Section& section : sections) {
        titles.push_back({section.title, top});
        top += kItemsTop;
        for (size_t i = 0; i < section.items.size(); ++i) {
            items.push_back({section.items[i], top, int32_t(i) == section.marked});
            top += kItemHeight;
        }
    }
}

Rect PopupMenu::itemRect(int32_t index) const {
    const int32_t top =
        size.top + (index >= 0 && index < getItemCount() ? items[size_t(index)].top
                                                         : kItemsTop + index * kItemHeight);
    return Rect(size.left + kInset, top, size.right - kInset, top + kItemHeight - 2);
}

int32_t PopupMenu::getMarked() const {
    for (int32_t i = 0; i < getItemCount(); ++i) {
        if (items[size_t(i)].marked) {
            return i;
        }
    }
    return -1;
}

bool PopupMenu::isMarked(int32_t index) const {
    return index >= 0 && index < getItemCount() && items[size_t(index)].marked;
}

int32_t PopupMenu::findItem(const std::string& text) const {
    for (int32_t i = 0; i < getItemCount(); ++i) {
        if (items[size_t(i)].text == text) {
            return i;
        }
    }
    return -1;
}

int32_t PopupMenu::itemAt(const Point& where) const {
    for (int32_t i = 0; i < getItemCount(); ++i) {
        if (itemRect(i).contains(where)) {
            return i;
        }
    }
    return -1;
}

void PopupMenu::draw(DrawContext* context) {
    setDirty(false);
    if (!context) {
        return;
    }
    // A metal plate with a dark edge and a light bevel above and left.
    context->setFillColour(kFace);
    context->fillRect(size);
    context->setFrameColour(kEdge);
    context->strokeRect(size);
    context->setFrameColour(kBevel);
    context->moveTo(Point(size.left + 1, size.bottom - 1));
    context->lineTo(Point(size.left + 1, size.top + 1));
    context->lineTo(Point(size.right, size.top + 1));

    // Each part's title engraved as the panel's labels, over a groove.
    for (const Title& title : titles) {
        const int32_t top = size.top + title.top;
        const Rect titleRect(size.left, top + 1, size.right, top + kTitleHeight);
        context->setFont(kTitleFont, 0, FontBold);
        context->setFontColour(kBevel);
        context->drawString(title.text.c_str(), Rect(titleRect).offset(0, 1), false,
                            TextAlignCentre);
        context->setFontColour(kLetters);
        context->drawString(title.text.c_str(), titleRect, false, TextAlignCentre);
        const int32_t groove = top + kTitleHeight;
        context->setFrameColour(kGroove);
        context->moveTo(Point(size.left + kInset, groove));
        context->lineTo(Point(size.right - kInset + 1, groove));
        context->setFrameColour(kBevel);
        context->moveTo(Point(size.left + kInset, groove + 1));
        context->lineTo(Point(size.right - kInset + 1, groove + 1));
    }

    context->setFont(kItemFont);
    for (int32_t i = 0; i < getItemCount(); ++i) {
        const Rect r = itemRect(i);
        if (items[size_t(i)].marked) {
            // The current item on the title plate's red.
            context->setFillColour(kPlate);
            context->fillRect(r);
            context->setFrameColour(kPlateEdge);
            context->strokeRect(r);
            context->setFontColour(kPlateLetters);
        } else {
            context->setFontColour(kLetters);
        }
        context->drawString(items[size_t(i)].text.c_str(), r, false, TextAlignCentre);
    }
}

void PopupMenu::mouseDown(DrawContext* context, Point& where) {
    const int32_t chosen = itemAt(where);
    PopupMenuListener* told = listener;
    // The frame keeps the menu alive until this press has been handled.
    if (frame) {
        frame->closePopup(context);
    }
    if (chosen >= 0 && told) {
        told->itemChosen(this, chosen);
    }
}
