#pragma once

namespace zn {

class SegmentedControl;

// Makes each segment of a SegmentedControl a selectable, pressable tab for
// screen readers. Installing twice is harmless.
void installSegmentedControlAccessibility();
// Tells assistive tools that the chosen segment changed.
void notifySegmentedControlSelection(SegmentedControl *control);

} // namespace zn
