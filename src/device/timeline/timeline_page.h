// The fixed parts of the timeline page: head, style, body and script. The page is complete
// without a network: its policy forbids loading anything, so it opens the same offline.
#pragma once

namespace device::timeline {

extern const char* const kPageHead;    // doctype, charset, policy; the <title> follows
extern const char* const kPageStyle;   // <style> ... </style>
extern const char* const kPageBody;    // header, chart, card, trace panel, legend
extern const char* const kPageScript;  // reads `DATA` and draws the chart

}  // namespace device::timeline
