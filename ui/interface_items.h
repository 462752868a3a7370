#pragma once

// The interface items of the current frame: every button and text a screen
// shows is an item added by the page's run callback and dropped at the start
// of the next pass.

// Empties the item table for the new pass; called by the main loop before the
// current page runs.
void BeginInterfaceFrame();
// Ends a running slider drag, putting its old value back and calling its
// callback; returns 1 when a drag was running, else 0. A key cancels a drag.
int EndItemDrag();
