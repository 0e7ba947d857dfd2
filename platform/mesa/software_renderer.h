// What Mesa's software renderer needs from the backends that may end up on it.
#pragma once

namespace mesa {

// Has llvmpipe, Mesa's software renderer, rasterise on the thread that draws instead of on
// threads of its own, unless LP_NUM_THREADS is set already. To be called before the first GL
// library or display is loaded: Mesa reads the variable once, when it sets up its renderer. Only
// llvmpipe reads it, so a GPU's driver goes on as it was.
void keep_llvmpipe_on_drawing_thread();

} // namespace mesa
