// The page's host: loads the module, creates the saver through the add-on's
// instantiate_screen_saver, starts it on a view the size of the page (in
// device pixels) and ticks it at its TickSize() on absolute deadlines,
// showing the view's pixels in the canvas. What saverhost does on Linux,
// with the same options as query parameters (see options.js).
import { OptionError, parseOptions, runsSaver } from "./options.js";
import { loadSaverModule } from "./saver-module.js";
import { Ticker, clampPeriod } from "./ticker.js";
import {
	StatsMeter, drawNotice, drawPanel, formatStats, kSettingsHintHeight,
} from "./drawing.js";

const kModuleUrl = new URL("../dustglow.wasm", import.meta.url);
// A display frame that comes this early still takes the tick (ms).
const kTickSlack = 1;
// Back-to-back runs yield to the browser after about this long (ms).
const kBatchMilliseconds = 8;

const stage = document.getElementById("stage");
const canvas = document.getElementById("screen");
const context = canvas.getContext("2d", { alpha: false });
const fpsOverlay = document.getElementById("fps");
const statusLine = document.getElementById("status");
const digestListing = document.getElementById("digest");
const settingsListing = document.getElementById("settings");


class HostError extends Error {}


// What a reader of the page (or of `chromium --dump-dom`) can see of the run:
// data-state (loading, settings, running, done, declined, error),
// data-view (WxH), data-starts and data-frames on <body>.
function setState(state) {
	document.body.dataset.state = state;
}


function fail(message) {
	statusLine.textContent = `dustglow: ${message}`;
	statusLine.hidden = false;
	setState("error");
	document.title = "Dustglow: error";
	console.error(`dustglow: ${message}`);
}


function finish() {
	setState("done");
	document.title = "done";
}


// Resolves after the browser has had its turn: other tasks, and a rendering
// opportunity when one is due.
function yieldToBrowser() {
	return new Promise((resolve) => {
		const channel = new MessageChannel();
		channel.port1.onmessage = () => resolve();
		channel.port2.postMessage(null);
	});
}


// Sizes the canvas to width x height canvas pixels, each one device pixel.
function sizeCanvas(width, height, fixed) {
	if (canvas.width !== width)
		canvas.width = width;
	if (canvas.height !== height)
		canvas.height = height;
	canvas.style.width = fixed ? `${width / devicePixelRatio}px` : "";
	canvas.style.height = fixed ? `${height / devicePixelRatio}px` : "";
}


// The page's size in device pixels, as the stage reports it now and after
// every change, each side at most maxViewSide; callback gets { width,
// height }.
function watchPageSize(maxViewSide, callback) {
	const observer = new ResizeObserver((entries) => {
		const entry = entries[entries.length - 1];
		let width;
		let height;
		if (entry.devicePixelContentBoxSize) {
			width = entry.devicePixelContentBoxSize[0].inlineSize;
			height = entry.devicePixelContentBoxSize[0].blockSize;
		} else {
			width = Math.round(entry.contentRect.width * devicePixelRatio);
			height = Math.round(entry.contentRect.height * devicePixelRatio);
		}
		callback({
			width: Math.min(Math.max(width, 0), maxViewSide),
			height: Math.min(Math.max(height, 0), maxViewSide),
		});
	});
	try {
		observer.observe(stage, { box: "device-pixel-content-box" });
	} catch {
		observer.observe(stage);
	}
}


// Full screen on a click or a key, where the browser allows it.
function fullScreenOnInput() {
	const enter = () => {
		if (document.fullscreenElement || !document.documentElement.requestFullscreen)
			return;
		document.documentElement.requestFullscreen().catch(() => {});
	};
	addEventListener("click", enter);
	addEventListener("keydown", enter);
}


// Resolves at the next click or key, which goes no further.
function nextInput() {
	return new Promise((resolve) => {
		const done = (event) => {
			event.stopPropagation();
			removeEventListener("click", done, true);
			removeEventListener("keydown", done, true);
			resolve();
		};
		addEventListener("click", done, true);
		addEventListener("keydown", done, true);
	});
}


// One saver on one view at a time: starting again stops the saver and
// replaces the view, as saverhost does when its window changes size.
class Run {
	constructor(module, saver, options) {
		this.module = module;
		this.saver = saver;
		this.options = options;
		this.view = null;
		this.running = false;
		this.frame = 0;
		this.starts = 0;
		this.period = 40;
		this.meter = options.fps ? new StatsMeter(performance.now()) : null;
		this.firstFrameShown = false;
	}

	// A new view of the size, with the saver started on it; a HostError
	// says why not.
	start(size) {
		this.stop();
		if (this.view) {
			this.view.delete();
			this.view = null;
		}
		const text = `${size.width}x${size.height}`;
		this.view = this.module.newView(size.width, size.height,
			{ preview: this.options.preview });
		if (!this.view)
			throw new HostError(`not enough memory for a ${text} view; try a smaller size`);
		const status = this.saver.start(this.view, this.options.preview);
		if (status !== 0) {
			throw new HostError(`the saver refused to start on a ${text} view (status ${status})`,
				{ cause: status });
		}
		this.running = true;
		this.starts++;
		this.period = clampPeriod(this.saver.tickSize() / 1000);
		sizeCanvas(size.width, size.height, this.options.size !== null || this.options.preview);
		document.body.dataset.view = text;
		document.body.dataset.starts = String(this.starts);
		return status;
	}

	stop() {
		if (this.running)
			this.saver.stop();
		this.running = false;
	}

	// One Draw(); with ?digest its line. Returns the line or "".
	draw() {
		this.saver.draw(this.view, this.frame);
		this.frame++;
		document.body.dataset.frames = String(this.frame);
		// The saver may ask for another period while it runs.
		this.period = clampPeriod(this.saver.tickSize() / 1000);
		return this.options.digest ? `frame ${this.frame} ${this.view.digest()}\n` : "";
	}

	// What changed in the view's pixels on the canvas.
	present() {
		this.view.present(context);
		if (!this.firstFrameShown) {
			this.firstFrameShown = true;
			performance.mark("dustglow-first-frame");
			document.body.dataset.firstFrame = performance.now().toFixed(1);
		}
	}

	// Counts a frame for the fps overlay.
	measure(cost) {
		if (!this.meter)
			return;
		const stats = this.meter.frameDone(cost, performance.now());
		if (stats) {
			fpsOverlay.textContent = formatStats(stats);
			fpsOverlay.hidden = false;
		}
	}

	// ?digest: frames back to back, as saverhost draws them headless, with a
	// turn for the browser between small batches.
	async backToBack(frames) {
		while (this.frame < frames) {
			const batchStart = performance.now();
			let lines = "";
			do {
				const drawStart = performance.now();
				lines += this.draw();
				this.measure(performance.now() - drawStart);
			} while (this.frame < frames && performance.now() - batchStart < kBatchMilliseconds);
			this.present();
			digestListing.append(lines);
			if (this.frame < frames)
				await yieldToBrowser();
		}
	}

	// A tick on every deadline, on the display's frames; no tick while the
	// page is hidden, and none made up for afterwards. Resolves when frames
	// (if not null) have been drawn; a HostError rejects it.
	paced(frames, pageSize) {
		return new Promise((resolve, reject) => {
			if (frames !== null && this.frame >= frames) {
				resolve();
				return;
			}
			let ticker = null;
			const onFrame = (now) => {
				try {
					if (document.hidden) {
						requestAnimationFrame(onFrame);
						return;
					}
					if (ticker === null)
						ticker = new Ticker(now);
					if (!ticker.due(now, kTickSlack)) {
						requestAnimationFrame(onFrame);
						return;
					}
					const size = pageSize && pageSize();
					if (size && size.width >= 1 && size.height >= 1
							&& (size.width !== this.view.width || size.height !== this.view.height))
						this.start(size);
					const drawStart = performance.now();
					this.draw();
					this.present();
					this.measure(performance.now() - drawStart);
					if (frames !== null && this.frame >= frames) {
						resolve();
						return;
					}
					ticker.advance(this.period, now);
					requestAnimationFrame(onFrame);
				} catch (error) {
					reject(error);
				}
			};
			requestAnimationFrame(onFrame);
		});
	}
}


async function loadModule() {
	const response = await fetch(kModuleUrl);
	if (!response.ok)
		throw new HostError(`cannot load ${kModuleUrl.pathname}: ${response.status} ${response.statusText}`);
	return loadSaverModule(await response.arrayBuffer());
}


// The settings panel until a click or a key, with a hint that says so, as
// saverhost's settings window; what follows is the caller's.
async function showSettings(saver, goesOn) {
	const panel = saver.settings();
	settingsListing.textContent = panel.items.map((item) => `${item.line}\n`).join("");
	if (panel.items.length === 0)
		console.info("dustglow: the saver put nothing on its settings panel");
	sizeCanvas(panel.width, panel.height + kSettingsHintHeight, true);
	document.body.classList.add("fixed-size");
	drawPanel(context, panel, goesOn ? "a key or a click closes the settings and starts "
		+ "the saver" : "a key or a click closes the settings");
	setState("settings");
	// The page has done what it was asked once the panel is up.
	if (!goesOn)
		document.title = "done";
	await nextInput();
	sizeCanvas(0, 0, true);
}


// The page size once it is known, and then as it changes.
function pageSizeSource(maxViewSide) {
	let current = null;
	let first;
	const known = new Promise((resolve) => {
		first = resolve;
	});
	watchPageSize(maxViewSide, (size) => {
		current = size;
		first(size);
	});
	return { known, now: () => current };
}


async function main() {
	setState("loading");
	const module = await loadModule();
	const sizes = module.viewSizes;
	let options;
	try {
		options = parseOptions(location.search, sizes.maxViewSide);
	} catch (error) {
		if (error instanceof OptionError)
			return fail(error.message);
		throw error;
	}
	if (options.clock !== null)
		module.pinClock(options.clock);

	const saver = module.instantiate();
	if (!saver)
		return fail("the add-on's instantiate_screen_saver gave no saver");
	const initStatus = saver.initCheck();
	if (initStatus !== 0)
		return fail(`the saver failed to initialise (status ${initStatus})`);

	if (options.config) {
		await showSettings(saver, runsSaver(options));
		if (!runsSaver(options))
			return finish();
	}

	// The view follows the page unless it has a size of its own.
	const fixed = options.size !== null || options.preview;
	document.body.classList.toggle("fixed-size", fixed);
	const page = fixed ? null : pageSizeSource(sizes.maxViewSide);
	fullScreenOnInput();

	const run = new Run(module, saver, options);
	let size;
	if (options.preview)
		size = sizes.preview;
	else if (options.size)
		size = options.size;
	else
		size = await page.known;
	try {
		run.start(size);
	} catch (error) {
		if (!(error instanceof HostError))
			throw error;
		if (options.preview && error.cause !== undefined) {
			// The saver's own choice: the host says so where the picture would be.
			const notice = "the saver declined to run in the preview";
			const width = Math.max(sizes.preview.width, Math.round(innerWidth * devicePixelRatio));
			const height = Math.max(sizes.preview.height,
				Math.round(innerHeight * devicePixelRatio));
			document.body.classList.remove("fixed-size");
			sizeCanvas(width, height, false);
			drawNotice(context, width, height, notice, sizes.preview);
			statusLine.textContent = notice;
			setState("declined");
			document.title = "done";
			return undefined;
		}
		return fail(error.message);
	}
	setState("running");

	try {
		if (options.digest) {
			// As saverhost --digest headless: one frame unless told otherwise.
			await run.backToBack(options.frames ?? 1);
		} else {
			await run.paced(options.frames, page ? page.now : null);
		}
	} catch (error) {
		run.stop();
		if (error instanceof HostError)
			return fail(error.message);
		throw error;
	}
	run.stop();
	return finish();
}


main().catch((error) => fail(error instanceof HostError ? error.message : String(error)));
