#include "outputs/window/SaverWindow.h"

#include <SDL.h>


void
WindowCloser::operator()(SDL_Window* window) const
{
	SDL_DestroyWindow(window);
}


bool
SaverWindow::OutOfSight() const
{
	return (SDL_GetWindowFlags(fWindow.get()) & (SDL_WINDOW_HIDDEN | SDL_WINDOW_MINIMIZED)) != 0;
}
