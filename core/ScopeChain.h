#pragma once
// Objects that live on one thread's stack and form a chain from the innermost to the outermost
// (a thread-local pointer to the innermost, each linking to the one around it).

namespace lq {

// Takes `self` out of the chain that starts at `innermost`, whose links are `self->*outer`.
// Normally the innermost goes first; one kept in a container may go out of turn.
template <class T>
void UnlinkFromChain(T*& innermost, T* self, T* T::*outer) {
    if (innermost == self) {
        innermost = self->*outer;
        return;
    }
    for (T* w = innermost; w; w = w->*outer) {
        if (w->*outer == self) {
            w->*outer = self->*outer;
            return;
        }
    }
}

}  // namespace lq
