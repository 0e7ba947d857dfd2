#include "platform/mesa/software_renderer.h"

#include <cstdlib>

namespace mesa {

// llvmpipe (Mesa 22.3) frees a fence while one of its rasteriser threads may still hold the fence's
// mutex: the thread that finishes a scene counts the fence up, wakes its waiters and only then
// unlocks it, while the drawing thread, seeing the count complete without taking the lock, ends the
// scene and frees the fence. The late unlock then writes into freed memory, and the heap is corrupt
// (seen: "free(): corrupted unsorted chunks"). Whatever the program draws, any thread of llvmpipe's
// own opens that window; with none (LP_NUM_THREADS=0) every scene is rasterised, and its fence
// signalled, on the thread that later frees it.
void keep_llvmpipe_on_drawing_thread() {
    setenv("LP_NUM_THREADS", "0", 0);
}

} // namespace mesa
