// The WebAssembly module: the add-on and the stand-in kits as the page's
// host sees them. Works in the page and under Node (the tests load it too).

// Text that the C++ runtime writes to standard output or error before it
// aborts (a pure virtual call, a terminate): the only WASI calls the module
// makes. Lines go to the console; seeking and closing are refused politely.
function wasiShim(getMemory) {
	const pending = { 1: "", 2: "" };
	const decoder = new TextDecoder();
	const kBadDescriptor = 8;
	const kNotSeekable = 70;
	return {
		fd_write(fd, iovs, count, written) {
			const memory = getMemory();
			const view = new DataView(memory.buffer);
			let total = 0;
			let text = "";
			for (let i = 0; i < count; i++) {
				const base = view.getUint32(iovs + 8 * i, true);
				const length = view.getUint32(iovs + 8 * i + 4, true);
				text += decoder.decode(new Uint8Array(memory.buffer, base, length));
				total += length;
			}
			view.setUint32(written, total, true);
			if (fd !== 1 && fd !== 2)
				return kBadDescriptor;
			pending[fd] += text;
			let newline;
			while ((newline = pending[fd].indexOf("\n")) >= 0) {
				const line = pending[fd].slice(0, newline);
				pending[fd] = pending[fd].slice(newline + 1);
				(fd === 2 ? console.error : console.log)(`dustglow: ${line}`);
			}
			return 0;
		},
		fd_seek() { return kNotSeekable; },
		fd_close() { return 0; },
	};
}


// Instantiates the module from its bytes. wallClockSeconds gives time() its
// seconds while the clock is not pinned.
export async function loadSaverModule(bytes,
		{ wallClockSeconds = () => Math.floor(Date.now() / 1000) } = {}) {
	let memory = null;
	const { instance } = await WebAssembly.instantiate(bytes, {
		dustglow: { wall_clock_seconds: wallClockSeconds },
		wasi_snapshot_preview1: wasiShim(() => memory),
	});
	const exports = instance.exports;
	memory = exports.memory;
	// The static constructors of the kits and the add-on.
	exports._initialize();
	return new SaverModule(exports);
}


// Addresses in the module's memory come back from its functions as signed
// 32-bit numbers; above 2 GiB they would be negative.
function address(value) {
	return value >>> 0;
}


// Reads a NUL-terminated string from the module's memory.
function readString(memory, at) {
	if (at === 0)
		return null;
	const bytes = new Uint8Array(memory.buffer, at);
	const end = bytes.indexOf(0);
	return new TextDecoder().decode(bytes.subarray(0, end));
}


export class SaverModule {
	constructor(exports) {
		this.exports = exports;
		this.words = null;
		const sizes = new Int32Array(this.memory.buffer, address(exports.dg_view_sizes()), 5);
		// The sizes saverhost gives views too: the largest side of a
		// full-screen view, the preview and the settings panel.
		this.viewSizes = {
			maxViewSide: sizes[0],
			preview: { width: sizes[1], height: sizes[2] },
			settings: { width: sizes[3], height: sizes[4] },
		};
	}

	get memory() {
		return this.exports.memory;
	}

	// The module's memory as 32-bit words; growing the memory replaces its
	// buffer, and so this array.
	int32Words() {
		if (this.words === null || this.words.buffer !== this.memory.buffer)
			this.words = new Int32Array(this.memory.buffer);
		return this.words;
	}

	// From now on the add-on's time() reports seconds (a BigInt or a whole
	// number), whatever the real time.
	pinClock(seconds) {
		this.exports.dg_pin_clock(BigInt(seconds));
	}

	// The saver, through the add-on's own factory, with an empty state
	// message; null when the add-on gives none.
	instantiate() {
		const message = address(this.exports.dg_message_new());
		const saver = address(this.exports.instantiate_screen_saver(message, 1));
		if (saver === 0) {
			this.exports.dg_message_delete(message);
			return null;
		}
		return new Saver(this, saver, message);
	}

	// A view of width x height black pixels; null when there is no memory
	// for it and its picture.
	newView(width, height, { preview = false } = {}) {
		const view = address(this.exports.dg_view_new(width, height, preview ? 1 : 0));
		return view === 0 ? null : new SaverView(this, view, width, height);
	}
}


export class SaverView {
	constructor(module, at, width, height) {
		this.module = module;
		this.address = at;
		this.width = width;
		this.height = height;
		this.imageData = null;
	}

	// saverhost --digest's fingerprint of the view's pixels, as 16
	// hexadecimal digits.
	digest() {
		return readString(this.module.memory, address(this.module.exports.dg_view_digest(
			this.address)));
	}

	drawCount() {
		return this.module.exports.dg_view_draw_count(this.address);
	}

	// Brings the view's picture (its pixels as opaque RGBA, as a canvas's
	// ImageData takes them) up to date: all of it the first time, then only
	// where the saver changed a pixel since. Returns how many rectangles
	// changed; changedRect(i) gives each.
	updatePicture() {
		return this.module.exports.dg_view_update_picture(this.address);
	}

	// The i-th rectangle of the last update: [x, y, width, height].
	changedRect(i) {
		const at = address(this.module.exports.dg_view_changed(this.address)) / 4 + 4 * i;
		return Array.from(this.module.int32Words().subarray(at, at + 4));
	}

	// The picture's bytes, over the module's memory: valid until the memory
	// grows.
	picture() {
		const at = address(this.module.exports.dg_view_picture(this.address));
		return new Uint8ClampedArray(this.module.memory.buffer, at, this.width * this.height * 4);
	}

	// What changed in the view since the last present onto context, a
	// canvas of the view's size: only those rectangles are converted and put
	// there. Nothing of the frame's size is allocated, copied or converted.
	present(context) {
		const count = this.updatePicture();
		if (this.imageData === null || this.imageData.data.buffer !== this.module.memory.buffer)
			this.imageData = new ImageData(this.picture(), this.width, this.height);
		const words = this.module.int32Words();
		let at = address(this.module.exports.dg_view_changed(this.address)) / 4;
		for (let i = 0; i < count; i++, at += 4) {
			context.putImageData(this.imageData, 0, 0, words[at], words[at + 1], words[at + 2],
				words[at + 3]);
		}
		return count;
	}

	delete() {
		this.module.exports.dg_view_delete(this.address);
		this.address = 0;
		this.imageData = null;
	}
}


export class Saver {
	constructor(module, at, message) {
		this.module = module;
		this.address = at;
		this.message = message;
	}

	initCheck() {
		return this.module.exports.dg_saver_init_check(this.address);
	}

	// B_OK (0), or the status with which the saver declined.
	start(view, preview = false) {
		return this.module.exports.dg_saver_start(this.address, view.address, preview ? 1 : 0);
	}

	draw(view, frame) {
		this.module.exports.dg_saver_draw(this.address, view.address, frame);
	}

	stop() {
		this.module.exports.dg_saver_stop(this.address);
	}

	// The period between two Draw() calls that the saver asks for, in
	// microseconds.
	tickSize() {
		return this.module.exports.dg_saver_tick_size(this.address);
	}

	// The settings panel as saverhost --config has it: StartConfig() on a
	// settings view, what it then holds, StopConfig(). { width, height,
	// items }, the items in drawing order, children after their parent,
	// each { line (as saverhost --config lists it), frame: [left, top,
	// right, bottom] in the parent's coordinates, text (a label's, else
	// null), depth }.
	settings() {
		const exports = this.module.exports;
		const memory = this.module.memory;
		const panel = address(exports.dg_settings_show(this.address));
		const edges = address(exports.dg_alloc(16));
		const items = [];
		for (let i = 0; i < exports.dg_settings_count(panel); i++) {
			exports.dg_settings_frame(panel, i, edges);
			items.push({
				line: readString(memory, address(exports.dg_settings_line(panel, i))),
				frame: Array.from(new Float32Array(memory.buffer, edges, 4)),
				text: readString(memory, address(exports.dg_settings_text(panel, i))),
				depth: exports.dg_settings_depth(panel, i),
			});
		}
		exports.dg_free(edges);
		exports.dg_settings_delete(panel);
		return { ...this.module.viewSizes.settings, items };
	}

	delete() {
		this.module.exports.dg_saver_delete(this.address);
		this.module.exports.dg_message_delete(this.message);
		this.address = 0;
	}
}
