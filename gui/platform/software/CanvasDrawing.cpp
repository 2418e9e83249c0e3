// The drawing operations of the software drawing: where a context's
// coordinates become pixels of its surface (lines, fills, block and
// transparent copies, text placement) and where window surfaces learn what
// was drawn on them through window contexts.
#include "gui/platform/software/CanvasPlatform.h"

#include <algorithm>
#include <climits>

namespace platform::software {

namespace {

int32_t clamp(int64_t value) {
    return static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(value, INT32_MIN), INT32_MAX));
}

// The pixels a block of width x height at (x, y) covers.
PixelRect blockArea(int32_t x, int32_t y, int32_t width, int32_t height) {
    return {x, y, clamp(static_cast<int64_t>(x) + std::max(width, 0)),
            clamp(static_cast<int64_t>(y) + std::max(height, 0))};
}

} // namespace

void CanvasPlatform::noteDrawn(const Context& dc, const PixelRect& area) {
    if (dc.kind != ContextKind::Window) {
        return;
    }
    auto it = surfaces.find(dc.surface);
    if (it == surfaces.end()) {
        return;
    }
    PixelRect drawn = intersect(area, clipOf(dc, it->second.pixels));
    if (!isEmpty(drawn)) {
        it->second.damage = unite(it->second.damage, drawn);
    }
}

bool CanvasPlatform::copyEnds(DeviceContextHandle destination, DeviceContextHandle source,
                              CopyEnds& ends) {
    Context* d = context(destination);
    const Context* s = context(source);
    Surface* onto = d ? target(*d) : nullptr;
    const Surface* from = s ? target(*s) : nullptr;
    if (!onto || !from) {
        return false;
    }
    ends = {d, onto, clipOf(*d, *onto), from, {s->background, d->text, d->background}};
    return true;
}

bool CanvasPlatform::moveTo(DeviceContextHandle dc, int32_t x, int32_t y) {
    auto lock = lockCanvas();
    Context* c = context(dc);
    if (!c) {
        return false;
    }
    c->position = {x, y};
    return true;
}

bool CanvasPlatform::lineTo(DeviceContextHandle dc, int32_t x, int32_t y) {
    auto lock = lockCanvas();
    Context* c = context(dc);
    if (!c) {
        return false;
    }
    PixelPoint from = c->position;
    c->position = {x, y};
    Surface* s = target(*c);
    const Object* pen = object(handleFrom<ObjectHandle>(c->pen));
    if (!s || !pen) {
        return false;
    }
    drawLine(*s, clipOf(*c, *s), from.x, from.y, x, y, pen->colour, pen->penStyle,
             c->backgroundMode == BackgroundOpaque, c->background);
    noteDrawn(*c, {std::min(from.x, x), std::min(from.y, y),
                   clamp(static_cast<int64_t>(std::max(from.x, x)) + 1),
                   clamp(static_cast<int64_t>(std::max(from.y, y)) + 1)});
    return true;
}

bool CanvasPlatform::fillRect(DeviceContextHandle dc, const PixelRect& rect, ObjectHandle brush) {
    auto lock = lockCanvas();
    Context* c = context(dc);
    const Object* b = object(brush);
    if (!c || !b || b->kind != ObjectKind::Brush) {
        return false;
    }
    Surface* s = target(*c);
    if (!s) {
        return false;
    }
    software::fillRect(*s, clipOf(*c, *s), rect, b->colour);
    noteDrawn(*c, rect);
    return true;
}

bool CanvasPlatform::drawText(DeviceContextHandle dc, const char* string, const PixelRect& rect,
                              int32_t alignment) {
    auto lock = lockCanvas();
    Context* c = context(dc);
    if (!c || !string) {
        return false;
    }
    Surface* s = target(*c);
    const Object* f = object(handleFrom<ObjectHandle>(c->font));
    if (!s || !f) {
        return false;
    }
    const FontDescription& font = f->font;
    FontMetrics m = text->metrics(font);
    int32_t cellHeight = m.ascent + m.descent;
    int32_t width = text->textWidth(font, string);
    int32_t top = rect.top + (rect.bottom - rect.top - cellHeight) / 2;
    int32_t left = rect.left;
    if (alignment == AlignCentre) {
        left = rect.left + (rect.right - rect.left - width) / 2;
    } else if (alignment == AlignRight) {
        left = rect.right - width;
    }
    PixelRect clip = clipOf(*c, *s);
    if (c->backgroundMode == BackgroundOpaque) {
        software::fillRect(*s, clip, {left, top, left + width, top + cellHeight}, c->background);
    }
    text->drawText(*s, clip, font, string, left, top + m.ascent, c->text);
    // Glyphs may reach beyond their advance: a cell height more on either side.
    noteDrawn(*c, {left - cellHeight, top - 1, left + width + cellHeight, top + cellHeight + 1});
    return true;
}

bool CanvasPlatform::blockCopy(DeviceContextHandle destination, int32_t x, int32_t y, int32_t width,
                               int32_t height, DeviceContextHandle source, int32_t sourceX,
                               int32_t sourceY, uint32_t rop) {
    auto lock = lockCanvas();
    CopyEnds ends;
    if (!copyEnds(destination, source, ends)) {
        return false;
    }
    software::blockCopy(*ends.target, ends.clip, x, y, width, height, *ends.pixels, sourceX,
                        sourceY, rop, ends.colours);
    noteDrawn(*ends.destination, blockArea(x, y, width, height));
    return true;
}

bool CanvasPlatform::transparentCopy(DeviceContextHandle destination, int32_t x, int32_t y,
                                     int32_t width, int32_t height, DeviceContextHandle source,
                                     int32_t sourceX, int32_t sourceY, ColourRef transparent) {
    auto lock = lockCanvas();
    CopyEnds ends;
    if (!copyEnds(destination, source, ends)) {
        return false;
    }
    software::transparentCopy(*ends.target, ends.clip, x, y, width, height, *ends.pixels, sourceX,
                              sourceY, width, height, transparent, ends.colours);
    noteDrawn(*ends.destination, blockArea(x, y, width, height));
    return true;
}

void CanvasPlatform::erase(SurfaceId surface, const PixelRect& area, ColourRef colour) {
    auto it = surfaces.find(surface);
    if (it == surfaces.end()) {
        return;
    }
    software::fillRect(it->second.pixels, area, area, colour);
}

} // namespace platform::software
