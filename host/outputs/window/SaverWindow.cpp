#include "outputs/window/SaverWindow.h"

#include <SDL.h>


void
WindowCloser::operator()(SDL_Window* window) const
{
	SDL_DestroyWindow(window);
}
