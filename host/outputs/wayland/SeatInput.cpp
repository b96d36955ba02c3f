#include "outputs/wayland/SeatInput.h"

#include <unistd.h>

#include <algorithm>
#include <optional>

#include "outputs/wayland/WaylandProtocols.h"


using std::chrono::steady_clock;


// One seat and the devices it has now; the listeners' data.
struct SeatInput::Seat {
	SeatInput* input = nullptr;
	wl_seat* seat = nullptr;
	uint32_t version = 0;
	uint32_t name = 0;
	wl_keyboard* keyboard = nullptr;
	wl_pointer* pointer = nullptr;
	wl_touch* touch = nullptr;
	// The capabilities last said, once said.
	std::optional<uint32_t> capabilities;
	const wl_surface* keyboardFocus = nullptr;
	const wl_surface* pointerFocus = nullptr;
	// Where the pointer entered its surface, or last stood while it settled.
	double pointerX = 0;
	double pointerY = 0;

	~Seat()
	{
		Devices(0);
		if (version >= WL_SEAT_RELEASE_SINCE_VERSION)
			wl_seat_release(seat);
		else
			wl_seat_destroy(seat);
	}

	// Takes the devices the capabilities name, and lets go of the others.
	void Devices(uint32_t capabilities)
	{
		bool release = version >= WL_KEYBOARD_RELEASE_SINCE_VERSION;
		bool keyboardWanted = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
		if (keyboardWanted && keyboard == nullptr) {
			keyboard = wl_seat_get_keyboard(seat);
			wl_keyboard_add_listener(keyboard, &kKeyboardListener, this);
		} else if (!keyboardWanted && keyboard != nullptr) {
			release ? wl_keyboard_release(keyboard) : wl_keyboard_destroy(keyboard);
			keyboard = nullptr;
			keyboardFocus = nullptr;
		}
		bool pointerWanted = (capabilities & WL_SEAT_CAPABILITY_POINTER) != 0;
		if (pointerWanted && pointer == nullptr) {
			pointer = wl_seat_get_pointer(seat);
			wl_pointer_add_listener(pointer, &kPointerListener, this);
		} else if (!pointerWanted && pointer != nullptr) {
			release ? wl_pointer_release(pointer) : wl_pointer_destroy(pointer);
			pointer = nullptr;
			pointerFocus = nullptr;
		}
		bool touchWanted = (capabilities & WL_SEAT_CAPABILITY_TOUCH) != 0;
		if (touchWanted && touch == nullptr) {
			touch = wl_seat_get_touch(seat);
			wl_touch_add_listener(touch, &kTouchListener, this);
		} else if (!touchWanted && touch != nullptr) {
			release ? wl_touch_release(touch) : wl_touch_destroy(touch);
			touch = nullptr;
		}
	}
};


const wl_seat_listener SeatInput::kSeatListener = SeatInput::_SeatListener();
const wl_keyboard_listener SeatInput::kKeyboardListener = SeatInput::_KeyboardListener();
const wl_pointer_listener SeatInput::kPointerListener = SeatInput::_PointerListener();
const wl_touch_listener SeatInput::kTouchListener = SeatInput::_TouchListener();


SeatInput::SeatInput() = default;
SeatInput::~SeatInput() = default;


void
SeatInput::AddSeat(wl_seat* seat, uint32_t version, uint32_t name)
{
	auto added = std::make_unique<Seat>();
	added->input = this;
	added->seat = seat;
	added->version = version;
	added->name = name;
	wl_seat_add_listener(seat, &kSeatListener, added.get());
	fSeats.push_back(std::move(added));
}


void
SeatInput::RemoveSeat(uint32_t name)
{
	fSeats.erase(std::remove_if(fSeats.begin(), fSeats.end(),
		[name](const std::unique_ptr<Seat>& seat) { return seat->name == name; }),
		fSeats.end());
}


wl_seat*
SeatInput::FirstSeat() const
{
	return fSeats.empty() ? nullptr : fSeats.front()->seat;
}


void
SeatInput::Settle()
{
	fSettleStart = steady_clock::now();
}


bool
SeatInput::Touched(const wl_surface* surface) const
{
	if (surface == nullptr)
		return fTouchedAnywhere;
	return std::find(fTouched.begin(), fTouched.end(), surface) != fTouched.end();
}


void
SeatInput::Forget()
{
	fTouched.clear();
	fTouchedAnywhere = false;
}


void
SeatInput::_Touch(const wl_surface* surface)
{
	fTouchedAnywhere = true;
	if (surface != nullptr && !Touched(surface))
		fTouched.push_back(surface);
}


bool
SeatInput::_Settling() const
{
	return steady_clock::now() - fSettleStart < kSettleTime;
}


void
SeatInput::_PointerMoved(Seat& seat, double x, double y)
{
	if (_Settling()) {
		seat.pointerX = x;
		seat.pointerY = y;
		return;
	}
	double dx = x - seat.pointerX;
	double dy = y - seat.pointerY;
	if (dx * dx + dy * dy >= static_cast<double>(kJitterPixels) * kJitterPixels)
		_Touch(seat.pointerFocus);
}


wl_seat_listener
SeatInput::_SeatListener()
{
	wl_seat_listener listener{};
	// A device that comes to the seat once the surfaces have settled is the
	// user arriving: a keyboard plugged in, an on-screen keyboard or a remote
	// desktop about to type, whose first key may be sent before the client
	// has the keyboard to receive it.
	listener.capabilities = [](void* data, wl_seat*, uint32_t capabilities) {
		Seat* seat = static_cast<Seat*>(data);
		if (seat->capabilities && (capabilities & ~*seat->capabilities) != 0
			&& !seat->input->_Settling())
			seat->input->_Touch(nullptr);
		seat->capabilities = capabilities;
		seat->Devices(capabilities);
	};
	listener.name = [](void*, wl_seat*, const char*) {};
	return listener;
}


wl_keyboard_listener
SeatInput::_KeyboardListener()
{
	wl_keyboard_listener listener{};
	// Never read: no key is looked up.
	listener.keymap = [](void*, wl_keyboard*, uint32_t, int32_t fd, uint32_t) { close(fd); };
	listener.enter = [](void* data, wl_keyboard*, uint32_t, wl_surface* surface, wl_array*) {
		static_cast<Seat*>(data)->keyboardFocus = surface;
	};
	listener.leave = [](void* data, wl_keyboard*, uint32_t, wl_surface*) {
		static_cast<Seat*>(data)->keyboardFocus = nullptr;
	};
	// A key let go counts too, but not while the surfaces settle: that is
	// the key that started the host (keys held as the focus came are in
	// enter's array, not pressed). Later, it is one whose press came before
	// the client had the keyboard.
	listener.key = [](void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t state) {
		Seat* seat = static_cast<Seat*>(data);
		if (state == WL_KEYBOARD_KEY_STATE_PRESSED || !seat->input->_Settling())
			seat->input->_Touch(seat->keyboardFocus);
	};
	listener.modifiers = [](void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t,
		uint32_t) {};
	listener.repeat_info = [](void*, wl_keyboard*, int32_t, int32_t) {};
	return listener;
}


wl_pointer_listener
SeatInput::_PointerListener()
{
	wl_pointer_listener listener{};
	listener.enter = [](void* data, wl_pointer* pointer, uint32_t serial, wl_surface* surface,
		wl_fixed_t x, wl_fixed_t y) {
		Seat* seat = static_cast<Seat*>(data);
		seat->pointerFocus = surface;
		seat->pointerX = wl_fixed_to_double(x);
		seat->pointerY = wl_fixed_to_double(y);
		if (seat->input->fHidePointer)
			wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);
	};
	listener.leave = [](void* data, wl_pointer*, uint32_t, wl_surface*) {
		static_cast<Seat*>(data)->pointerFocus = nullptr;
	};
	listener.motion = [](void* data, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) {
		Seat* seat = static_cast<Seat*>(data);
		seat->input->_PointerMoved(*seat, wl_fixed_to_double(x), wl_fixed_to_double(y));
	};
	listener.button = [](void* data, wl_pointer*, uint32_t, uint32_t, uint32_t, uint32_t state) {
		Seat* seat = static_cast<Seat*>(data);
		if (state == WL_POINTER_BUTTON_STATE_PRESSED)
			seat->input->_Touch(seat->pointerFocus);
	};
	listener.axis = [](void* data, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {
		Seat* seat = static_cast<Seat*>(data);
		seat->input->_Touch(seat->pointerFocus);
	};
	listener.frame = [](void*, wl_pointer*) {};
	listener.axis_source = [](void*, wl_pointer*, uint32_t) {};
	listener.axis_stop = [](void*, wl_pointer*, uint32_t, uint32_t) {};
	listener.axis_discrete = [](void*, wl_pointer*, uint32_t, int32_t) {};
	return listener;
}


wl_touch_listener
SeatInput::_TouchListener()
{
	wl_touch_listener listener{};
	listener.down = [](void* data, wl_touch*, uint32_t, uint32_t, wl_surface* surface, int32_t,
		wl_fixed_t, wl_fixed_t) {
		static_cast<Seat*>(data)->input->_Touch(surface);
	};
	listener.up = [](void*, wl_touch*, uint32_t, uint32_t, int32_t) {};
	listener.motion = [](void*, wl_touch*, uint32_t, int32_t, wl_fixed_t, wl_fixed_t) {};
	listener.frame = [](void*, wl_touch*) {};
	listener.cancel = [](void*, wl_touch*) {};
	return listener;
}
