// The keyboard and the pointer, taken from every other window while the
// monitors are covered, as screen savers take them: no key or click reaches
// a program under the saver, and the first key, click or move of the pointer
// ends the run. The grab is made on a connection of the host's own, so that
// the events come there whichever window has the focus, and they are told
// apart by their type alone: no keymap is looked at.
#ifndef SAVERHOST_INPUT_GRAB_H
#define SAVERHOST_INPUT_GRAB_H

#include <chrono>

struct _XDisplay;
union _XEvent;

class InputGrab {
public:
	explicit InputGrab(_XDisplay* connection);
	~InputGrab();

	InputGrab(const InputGrab&) = delete;
	InputGrab& operator=(const InputGrab&) = delete;

	// Takes what it does not hold yet. Another program's grab (a menu held
	// open) keeps the keyboard or the pointer from it until that program
	// lets go, so this is tried again before every wait.
	void Take();
	// Lets go of both for good: another program takes them.
	void Release();

	// The event is the user's: a key, a click or the wheel, or the pointer
	// moved away from where it was.
	bool EndsRun(const _XEvent& event);

private:
	bool _PointerMoved(int x, int y);

	_XDisplay* fConnection;
	bool fKeyboard = false;
	bool fPointer = false;
	bool fReleased = false;
	// When the pointer was taken, and where it was then or while the
	// windows settled.
	std::chrono::steady_clock::time_point fTakenAt;
	int fPointerX = 0;
	int fPointerY = 0;
};

#endif	// SAVERHOST_INPUT_GRAB_H
