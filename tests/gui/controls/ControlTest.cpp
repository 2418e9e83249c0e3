// The control base: the dirty rule through oldValue, clamping, the double-click
// interval, background references and the reporting rule.
#include "gui/controls/Control.h"

#include "tests/gui/controls/ControlWorld.h"

#include <cmath>
#include <limits>

using namespace controltest;

namespace {

// The smallest concrete control: drawing only makes it clean.
class PlainControl : public Control {
public:
    PlainControl(ControlListener* listener = nullptr, Bitmap* background = nullptr)
        : Control(Rect(10, 10, 50, 30), listener, 7, background) {}
    void draw(DrawContext*) override { setDirty(false); }
    using Control::reportChange;
};

} // namespace

using ControlBase = ControlWorld;

TEST_F(ControlBase, NewControlHasTheDocumentedDefaults) {
    PlainControl* c = new PlainControl();
    EXPECT_EQ(c->getValue(), 0.0f);
    EXPECT_EQ(c->getOldValue(), 1.0f);
    EXPECT_EQ(c->getDefaultValue(), 0.5f);
    EXPECT_EQ(c->getMin(), 0.0f);
    EXPECT_EQ(c->getMax(), 1.0f);
    EXPECT_FLOAT_EQ(c->getWheelIncrement(), 0.1f);
    EXPECT_EQ(c->getTag(), 7);
    EXPECT_EQ(c->getLastClickTime(), -1);
    EXPECT_FALSE(c->isTransparent());
    EXPECT_TRUE(c->isMouseEnabled());
    EXPECT_EQ(c->getBackgroundOffset(), Point(0, 0));
    c->copyBackgroundOffset();
    EXPECT_EQ(c->getBackgroundOffset(), Point(10, 10));
    c->release();
}

TEST_F(ControlBase, DirtyUntilDrawnOrSetToTheOldValue) {
    PlainControl* c = new PlainControl();
    EXPECT_TRUE(c->isDirty()); // 0.0 against oldValue 1.0
    c->setValue(1.0f);
    EXPECT_FALSE(c->isDirty());
    c->setValue(0.3f);
    EXPECT_TRUE(c->isDirty());
    c->setDirty(false);
    EXPECT_FLOAT_EQ(c->getOldValue(), 0.3f);
    EXPECT_FALSE(c->isDirty());
    // setValue neither clamps nor notifies.
    c->setValue(7.0f);
    EXPECT_EQ(c->getValue(), 7.0f);
    c->release();
}

TEST_F(ControlBase, SetDirtyMakesTheOldValueDiffer) {
    PlainControl* c = new PlainControl();
    c->setValue(-1.0f);
    c->setDirty(true);
    EXPECT_EQ(c->getOldValue(), 0.0f);
    EXPECT_TRUE(c->isDirty());
    c->setValue(0.25f);
    c->setDirty(true);
    EXPECT_EQ(c->getOldValue(), -1.0f);
    EXPECT_TRUE(c->isDirty());
    // The flag alone keeps it dirty even when the values agree.
    c->setOldValue(0.25f);
    EXPECT_TRUE(c->isDirty());
    c->setDirty(false);
    EXPECT_FALSE(c->isDirty());
    c->release();
}

TEST_F(ControlBase, ClampAppliesOneBoundAndTurnsNaNIntoTheMinimum) {
    PlainControl* c = new PlainControl();
    struct Case {
        float in, out;
    } cases[] = {{1.5f, 1.0f}, {-0.2f, 0.0f}, {0.4f, 0.4f}, {1.0f, 1.0f}, {0.0f, 0.0f}};
    for (const Case& k : cases) {
        c->setValue(k.in);
        c->clampValue();
        EXPECT_EQ(c->getValue(), k.out) << k.in;
    }
    c->setValue(std::numeric_limits<float>::quiet_NaN());
    c->clampValue();
    EXPECT_EQ(c->getValue(), 0.0f);
    c->setValue(std::numeric_limits<float>::infinity());
    c->clampValue();
    EXPECT_EQ(c->getValue(), 1.0f);
    // Inverted bounds: only the upper one is applied to a value above it.
    c->setMin(3.0f);
    c->setMax(1.0f);
    c->setValue(2.0f);
    c->clampValue();
    EXPECT_EQ(c->getValue(), 1.0f);
    c->setValue(std::numeric_limits<float>::quiet_NaN());
    c->clampValue();
    EXPECT_EQ(c->getValue(), 3.0f);
    c->release();
}

TEST_F(ControlBase, DoubleClickIntervalIsAtLeast250) {
    p.setDoubleClickTime(200);
    PlainControl* a = new PlainControl();
    EXPECT_EQ(a->getDoubleClickInterval(), 250);
    p.setDoubleClickTime(500);
    PlainControl* b = new PlainControl();
    EXPECT_EQ(b->getDoubleClickInterval(), 500);
    // A platform value beyond the signed range reads as negative: 250.
    p.setDoubleClickTime(0x80000000u);
    PlainControl* c = new PlainControl();
    EXPECT_EQ(c->getDoubleClickInterval(), 250);
    a->release();
    b->release();
    c->release();
}

TEST_F(ControlBase, HoldsOneReferenceToItsBackground) {
    Bitmap* first = new Bitmap(kTestTroughId);
    Bitmap* second = new Bitmap(kTestHandleId);
    PlainControl* c = new PlainControl(nullptr, first);
    EXPECT_EQ(first->getReferenceCount(), 2);
    first->release(); // the control now holds the only reference
    EXPECT_EQ(first->getReferenceCount(), 1);
    // Setting the bitmap already held keeps it alive and held once.
    c->setBackground(first);
    ASSERT_EQ(c->getBackground(), first);
    EXPECT_EQ(first->getReferenceCount(), 1);
    EXPECT_EQ(first->width, 182);
    // Replacing gives the old one up (freeing it) and holds the new one.
    c->setBackground(second);
    EXPECT_EQ(second->getReferenceCount(), 2);
    c->setBackground(nullptr);
    EXPECT_EQ(second->getReferenceCount(), 1);
    c->setBackground(second);
    c->release();
    EXPECT_EQ(second->getReferenceCount(), 1);
    second->release();
}

TEST_F(ControlBase, ReportsOnlyWhenDirtyAndListened) {
    RecordingListener listener;
    PlainControl* c = new PlainControl(&listener);
    c->setValue(0.4f);
    c->reportChange(nullptr);
    ASSERT_EQ(listener.reports.size(), 1u);
    EXPECT_FALSE(listener.reports[0].withContext);
    EXPECT_EQ(listener.reports[0].tag, 7);
    c->setDirty(false);
    c->reportChange(nullptr);
    EXPECT_EQ(listener.reports.size(), 1u);
    PlainControl* silent = new PlainControl(nullptr);
    silent->setValue(0.9f);
    silent->reportChange(nullptr); // no listener: nothing, and no failure
    c->release();
    silent->release();
}

TEST_F(ControlBase, NaNDrawnOnceIsNotRedrawnForever) {
    PlainControl* c = new PlainControl();
    c->setValue(std::numeric_limits<float>::quiet_NaN());
    EXPECT_TRUE(c->isDirty());
    c->setDirty(false);
    EXPECT_FALSE(c->isDirty());
    c->setValue(0.5f);
    EXPECT_TRUE(c->isDirty());
    c->release();
}

TEST_F(ControlBase, DoIdleRunsTheEditorsPumpOnlyInsideAFrame) {
    PlainControl* loose = new PlainControl();
    loose->doIdle(); // no frame: nothing happens
    EXPECT_EQ(hostCalls(audioMasterIdle), 0);
    PlainControl* placed = new PlainControl();
    ASSERT_TRUE(frame->addView(placed));
    placed->doIdle();
    EXPECT_EQ(hostCalls(audioMasterIdle), 1);
    loose->release();
}
