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


// Reads a NUL-terminated string from the module's memory.
function readString(memory, address) {
	if (address === 0)
		return null;
	const bytes = new Uint8Array(memory.buffer, address);
	const end = bytes.indexOf(0);
	return new TextDecoder().decode(bytes.subarray(0, end));
}


// "11BStringView" to "BStringView": the Itanium name of a class at namespace
// scope; any other name is given as it is.
function demangle(name) {
	const match = /^(\d+)(.*)$/.exec(name);
	if (match && Number(match[1]) === match[2].length)
		return match[2];
	return name;
}


export class SaverModule {
	constructor(exports) {
		this.exports = exports;
	}

	get memory() {
		return this.exports.memory;
	}

	// From now on the add-on's time() reports seconds (a BigInt or a whole
	// number), whatever the real time.
	pinClock(seconds) {
		this.exports.dg_pin_clock(BigInt(seconds));
	}

	// The saver, through the add-on's own factory, with an empty state
	// message; null when the add-on gives none.
	instantiate() {
		const message = this.exports.dg_message_new();
		const saver = this.exports.instantiate_screen_saver(message, 1);
		if (saver === 0) {
			this.exports.dg_message_delete(message);
			return null;
		}
		return new Saver(this, saver, message);
	}

	// A view of width x height black pixels; null when there is no memory
	// for it.
	newView(width, height, { preview = false } = {}) {
		const view = this.exports.dg_view_new(width, height, preview ? 1 : 0);
		return view === 0 ? null : new SaverView(this, view, width, height);
	}
}


export class SaverView {
	constructor(module, address, width, height) {
		this.module = module;
		this.address = address;
		this.width = width;
		this.height = height;
		this.rgba = 0;
		this.imageData = null;
	}

	// saverhost --digest's FNV-1a of the view's red, green and blue, as 16
	// hexadecimal digits.
	digest() {
		const value = BigInt.asUintN(64, this.module.exports.dg_view_digest(this.address));
		return value.toString(16).padStart(16, "0");
	}

	drawCount() {
		return this.module.exports.dg_view_draw_count(this.address);
	}

	// The view's pixels as an ImageData (opaque RGBA), over the module's
	// memory: valid until the next call into the module.
	toImageData() {
		const exports = this.module.exports;
		const length = this.width * this.height * 4;
		if (this.rgba === 0) {
			this.rgba = exports.dg_alloc(length);
			if (this.rgba === 0)
				throw new Error(`no memory for a ${this.width}x${this.height} picture`);
		}
		exports.dg_view_to_rgba(this.address, this.rgba);
		// Growing the memory replaces its buffer.
		if (this.imageData === null || this.imageData.data.buffer !== this.module.memory.buffer) {
			const pixels = new Uint8ClampedArray(this.module.memory.buffer, this.rgba, length);
			this.imageData = new ImageData(pixels, this.width, this.height);
		}
		return this.imageData;
	}

	delete() {
		if (this.rgba !== 0)
			this.module.exports.dg_free(this.rgba);
		this.module.exports.dg_view_delete(this.address);
		this.address = 0;
		this.rgba = 0;
		this.imageData = null;
	}
}


export class Saver {
	constructor(module, address, message) {
		this.module = module;
		this.address = address;
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

	// StartConfig() on a settings view; what it then holds, in drawing order,
	// children after their parent, each { className, frame: [left, top,
	// right, bottom] in the parent's coordinates, text (a label's, else
	// null), depth }; then StopConfig().
	settings() {
		const exports = this.module.exports;
		const memory = this.module.memory;
		const panel = exports.dg_settings_open(this.address);
		const items = [];
		const edges = exports.dg_alloc(16);
		const walk = (parent, depth) => {
			for (let child = exports.dg_view_first_child(parent); child !== 0;
					child = exports.dg_view_next_sibling(child)) {
				exports.dg_view_frame(child, edges);
				const frame = Array.from(new Float32Array(memory.buffer, edges, 4));
				items.push({
					className: demangle(readString(memory, exports.dg_view_class_name(child))),
					frame,
					text: readString(memory, exports.dg_view_text(child)),
					depth,
				});
				walk(child, depth + 1);
			}
		};
		walk(panel, 0);
		exports.dg_free(edges);
		exports.dg_settings_close(this.address, panel);
		return {
			width: exports.dg_settings_width(),
			height: exports.dg_settings_height(),
			items,
		};
	}

	delete() {
		this.module.exports.dg_saver_delete(this.address);
		this.module.exports.dg_message_delete(this.message);
		this.address = 0;
	}
}
