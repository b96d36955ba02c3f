// What the user does at the compositor's seats, as far as a screen saver
// cares: a key or a button pressed, the wheel turned, a finger put down or
// the pointer moved, and over which of the client's surfaces. Keys are never
// looked up: the keymap the compositor sends is closed unread, so that no
// keymap, however made (a virtual keyboard's, a layout switched), can upset
// the host.
#ifndef SAVERHOST_SEAT_INPUT_H
#define SAVERHOST_SEAT_INPUT_H

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

struct wl_seat;
struct wl_surface;

class SeatInput {
public:
	SeatInput();
	~SeatInput();

	SeatInput(const SeatInput&) = delete;
	SeatInput& operator=(const SeatInput&) = delete;

	// A seat the registry offers (bound at version), or one it took back.
	// Its keyboard, pointer and touch are watched as they come and go.
	void AddSeat(wl_seat* seat, uint32_t version, uint32_t name);
	void RemoveSeat(uint32_t name);
	wl_seat* FirstSeat() const;

	// A surface appeared or changed size, which may move it under a pointer
	// that stays where it is: motion is only noted for kSettleTime.
	void Settle();
	// Hides the pointer over the client's surfaces from the next time it
	// enters one.
	void HidePointer() { fHidePointer = true; }

	// Whether the user touched surface (or any of the client's surfaces,
	// for null) since the last Forget().
	bool Touched(const wl_surface* surface = nullptr) const;
	void Forget();

	// Motion this soon after Settle() comes from surfaces appearing.
	static constexpr std::chrono::milliseconds kSettleTime{500};
	// Motion less than this far from where the pointer entered the surface,
	// or last stood while it settled, is jitter, not the user.
	static constexpr int kJitterPixels = 3;

private:
	struct Seat;

	void _Touch(const wl_surface* surface);
	bool _Settling() const;
	void _PointerMoved(Seat& seat, double x, double y);

	// The devices' listeners: what says that the user did something.
	static const struct wl_seat_listener kSeatListener;
	static const struct wl_keyboard_listener kKeyboardListener;
	static const struct wl_pointer_listener kPointerListener;
	static const struct wl_touch_listener kTouchListener;
	static struct wl_seat_listener _SeatListener();
	static struct wl_keyboard_listener _KeyboardListener();
	static struct wl_pointer_listener _PointerListener();
	static struct wl_touch_listener _TouchListener();

	std::vector<std::unique_ptr<Seat>> fSeats;
	std::vector<const wl_surface*> fTouched;
	bool fTouchedAnywhere = false;
	bool fHidePointer = false;
	std::chrono::steady_clock::time_point fSettleStart;
};

#endif	// SAVERHOST_SEAT_INPUT_H
