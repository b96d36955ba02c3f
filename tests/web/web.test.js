// The web page against saverhost: the module's C library against glibc, and
// the page in Debian's headless Chromium under puppeteer-core (a digest run,
// a screenshot of a live run, a resize, the settings panel and the preview).
// `make test-web` runs it after building saverhost (BUILD) and the page
// (WEB_BUILD), with the npm packages in tests/web/node_modules.
import { after, before, describe, test } from "node:test";
import assert from "node:assert/strict";
import { execFileSync, spawn } from "node:child_process";
import { mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { dirname, join, resolve } from "node:path";
import { fileURLToPath } from "node:url";

import { PNG } from "pngjs";

import { launchChromium, newPage } from "./browser.js";
import { OptionError, parseOptions } from "../../web/js/options.js";
import { loadSaverModule } from "../../web/js/saver-module.js";
import { Ticker } from "../../web/js/ticker.js";

const top = resolve(dirname(fileURLToPath(import.meta.url)), "../..");
const build = resolve(top, process.env.BUILD || "build");
const webBuild = resolve(top, process.env.WEB_BUILD || "build-web");
const site = join(webBuild, "site");
const saverhost = join(build, "bin", "saverhost");
// Screenshots for a person to look at.
const artifacts = join(webBuild, "test-artifacts");

const kClock = 1000000;


function runSaverhost(...args) {
	return execFileSync(saverhost, args, { encoding: "utf8", stdio: ["ignore", "pipe", "pipe"] });
}


// saverhost --digest's FNV-1a over the red, green and blue of each pixel of
// an RGBA image.
function digestOf(pixels) {
	const prime = 0x100000001b3n;
	let hash = 0xcbf29ce484222325n;
	for (let i = 0; i < pixels.length; i += 4) {
		hash = BigInt.asUintN(64, (hash ^ BigInt(pixels[i])) * prime);
		hash = BigInt.asUintN(64, (hash ^ BigInt(pixels[i + 1])) * prime);
		hash = BigInt.asUintN(64, (hash ^ BigInt(pixels[i + 2])) * prime);
	}
	return hash.toString(16).padStart(16, "0");
}


test("the web build's rand, srand, drand48 and srand48 give glibc's sequences", async () => {
	const scratch = mkdtempSync(join(tmpdir(), "dustglow-random-"));
	try {
		const program = join(scratch, "glibc-random");
		execFileSync("cc", ["-O2", "-o", program, join(top, "tests/web/glibc-random.c")]);
		const expected = execFileSync(program, { encoding: "utf8" }).trimEnd().split("\n");

		// A fresh module, as the page has it before the saver starts.
		const module = await loadSaverModule(readFileSync(join(site, "dustglow.wasm")));
		const { rand, srand, drand48, srand48 } = module.exports;
		const bits = new DataView(new ArrayBuffer(8));
		const doubleBits = (value) => {
			bits.setFloat64(0, value);
			return bits.getBigUint64(0).toString(16).padStart(16, "0");
		};
		for (const line of expected) {
			const [kind, seed, ...values] = line.split(" ");
			if (kind === "rand" && seed !== "none")
				srand(Number(seed));
			if (kind === "drand48" && seed !== "none")
				srand48(Number(seed));
			const next = kind === "rand" ? () => String(rand()) : () => doubleBits(drand48());
			const actual = values.map(next);
			assert.deepEqual(actual, values, `${kind} after seed ${seed}`);
		}
		assert.equal(expected.length, 11);
	} finally {
		rmSync(scratch, { recursive: true, force: true });
	}
});


test("the canvas's picture: opaque, and where only the damage is converted, the view's, "
	+ "above 2 GiB too",
	async () => {
		const module = await loadSaverModule(readFileSync(join(site, "dustglow.wasm")));
		// The view and its picture above 2 GiB, as at the largest sizes: the
		// module's addresses come back to JavaScript as signed numbers.
		module.exports.dg_free(module.exports.dg_alloc(16));
		module.memory.grow(32768);
		const [width, height] = [640, 480];
		const view = module.newView(width, height);
		const opaque = () => view.picture().every((byte, i) => i % 4 !== 3 || byte === 255);
		// A fresh view's fourth bytes are 0: no alpha to copy.
		assert.equal(view.updatePicture(), 1);
		assert.deepEqual(view.changedRect(0), [0, 0, width, height]);
		assert.ok(opaque(), "a fresh view's picture is not opaque");

		const saver = module.instantiate();
		assert.equal(saver.start(view), 0);
		let area = 0;
		for (let frame = 0; frame < 30; frame++) {
			saver.draw(view, frame);
			// Now and then the damage of two frames at once.
			if (frame % 3 === 1)
				continue;
			area = 0;
			for (let i = view.updatePicture(); i-- > 0;)
				area += view.changedRect(i)[2] * view.changedRect(i)[3];
		}
		assert.ok(area > 0 && area < width * height / 2, `${area} pixels converted`);
		assert.equal(digestOf(view.picture()), view.digest());
		assert.ok(opaque(), "the picture is not opaque");
		saver.stop();
	});


test("a parameter given twice takes the last value, as saverhost's options do", () => {
	const options = parseOptions("?size=640x480&size=320x240&fps=1&fps", 16384);
	assert.deepEqual(options.size, { width: 320, height: 240 });
	assert.equal(options.fps, true);
	assert.throws(() => parseOptions("?size=0x0&size=320x240", 16384), OptionError);
});


test("the page ticks on absolute deadlines: no drift, no burst after a pause", () => {
	// A 60 Hz display for a minute, with the page hidden from 20 s to 30 s
	// (no display frames then), and the saver's 40 ms period.
	const display = 1000 / 60;
	const ticks = [];
	let ticker = null;
	for (let frame = 0; frame * display < 60000; frame++) {
		const now = frame * display;
		if (now >= 20000 && now < 30000)
			continue;
		ticker ??= new Ticker(now);
		if (!ticker.due(now, 1))
			continue;
		ticks.push(now);
		ticker.advance(40, now);
	}
	// 25 a second while shown, one deadline each; after the pause one tick
	// and the cadence again, not the 250 missed ones.
	const shown = ticks.filter((time) => time < 20000).length;
	assert.ok(Math.abs(shown - 500) <= 1, `${shown} ticks in the first 20 s`);
	const afterPause = ticks.filter((time) => time >= 30000 && time < 30100).length;
	assert.ok(afterPause <= 3, `${afterPause} ticks in the 100 ms after the pause`);
	assert.ok(Math.abs(ticks.length - 1250) <= 2, `${ticks.length} ticks in all`);
	for (let i = 1; i < ticks.length; i++)
		assert.ok(ticks[i] - ticks[i - 1] >= 40 - 1 - display, "two ticks closer than a period");
});


describe("the page in headless Chromium", () => {
	let server;
	let origin;
	let browser;
	let reference;

	before(async () => {
		reference = runSaverhost("--size", "640x480", "--frames", "300", "--clock",
			String(kClock), "--digest");
		mkdirSync(artifacts, { recursive: true });

		// make web-serve's server, on a port of its own choosing.
		server = spawn("python3", ["-u", "-m", "http.server", "--bind", "127.0.0.1",
			"--directory", site, "0"], { stdio: ["ignore", "pipe", "ignore"] });
		origin = await new Promise((resolvePort, reject) => {
			let said = "";
			server.stdout.on("data", (chunk) => {
				said += chunk;
				const match = /port (\d+)/.exec(said);
				if (match)
					resolvePort(`http://127.0.0.1:${match[1]}`);
			});
			server.once("exit", (code) => reject(new Error(`http.server exited (${code})`)));
		});
		browser = await launchChromium();
	});

	after(async () => {
		if (browser)
			await browser.close();
		if (server)
			server.kill();
	});

	// A tab of the size, the page at ?query, and a check that it said nothing
	// at the level of an error: no uncaught exception, no console.error or
	// console.assert, nothing in the browser's log (a failed load, say).
	async function withPage(width, height, query, body) {
		const page = await newPage(browser, width, height);
		const errors = [];
		page.on("pageerror", (error) => errors.push(`exception: ${error.message ?? error}`));
		page.on("console", (message) => {
			const type = message.type();
			if (type === "error" || type === "assert")
				errors.push(`console.${type}: ${message.text()} ${message.location().url ?? ""}`);
		});
		try {
			await page.goto(`${origin}/${query}`);
			await body(page);
		} catch (error) {
			if (errors.length)
				error.message += `; errors on the page: ${errors.join("; ")}`;
			throw error;
		} finally {
			await page.close();
		}
		assert.deepEqual(errors, [], "errors on the page's console");
	}

	// Polls expression in the page until it is truthy; on a time-out, says
	// how the page stands.
	async function waitFor(page, expression, timeout = 30000) {
		try {
			await page.waitForFunction(expression, { timeout, polling: 50 });
		} catch (error) {
			const state = await page.evaluate("JSON.stringify({ ...document.body.dataset, "
				+ "title: document.title, status: document.getElementById('status').textContent })");
			throw new Error(`waiting for ${expression}: ${error.message}; page: ${state}`);
		}
	}

	test("a digest run gives saverhost's 300 lines, with no console errors", async () => {
		await withPage(800, 600, `?clock=${kClock}&size=640x480&frames=300&digest`,
			async (page) => {
				await waitFor(page, "document.title === 'done'", 60000);
				const lines = await page.evaluate("document.getElementById('digest').textContent");
				assert.equal(lines.split("\n").length, 301);
				assert.equal(lines, reference);
				assert.equal(await page.evaluate("document.body.dataset.view"), "640x480");
			});
	});

	test("a live run shows the motes: its screenshot is saverhost's frame", async () => {
		const frames = 25;
		await withPage(640, 480, `?clock=${kClock}&frames=${frames}`, async (page) => {
			await waitFor(page, "document.title === 'done'");
			assert.equal(await page.evaluate("document.body.dataset.view"), "640x480");
			const png = Buffer.from(await page.screenshot());
			writeFileSync(join(artifacts, "live-640x480.png"), png);
			const image = PNG.sync.read(png);
			assert.equal(`${image.width}x${image.height}`, "640x480");

			// Motes: yellow to white discs on black, somewhere on the screen.
			let lit = 0;
			for (let i = 0; i < image.data.length; i += 4) {
				const [red, green, blue] = image.data.subarray(i, i + 3);
				if (red > 64 && green > 64 && red >= blue)
					lit++;
			}
			assert.ok(lit > 72 * 10 && lit < 640 * 480 / 10, `${lit} lit pixels`);

			const line = reference.split("\n")[frames - 1];
			assert.equal(`frame ${frames} ${digestOf(image.data)}`, line);
		});
	});

	test("a resize restarts the saver on a view of the new size", async () => {
		await withPage(640, 480, `?clock=${kClock}&fps`, async (page) => {
			await waitFor(page, "Number(document.body.dataset.frames) >= 3");
			assert.equal(await page.evaluate("document.body.dataset.view"), "640x480");
			assert.equal(await page.evaluate("document.body.dataset.starts"), "1");

			await page.setViewport({ width: 500, height: 400, deviceScaleFactor: 1 });
			await waitFor(page, "document.body.dataset.view === '500x400'");
			const frames = Number(await page.evaluate("document.body.dataset.frames"));
			await waitFor(page, `Number(document.body.dataset.frames) >= ${frames + 3}`);
			assert.equal(await page.evaluate("document.body.dataset.starts"), "2");
			const size = await page.evaluate(
				"(({ width, height }) => `${width}x${height}`)(document.getElementById('screen'))");
			assert.equal(size, "500x400");
			writeFileSync(join(artifacts, "resized-500x400.png"), await page.screenshot());
		});
	});

	test("the settings panel lists saverhost's labels; the preview shows its notice",
		async () => {
			const listing = runSaverhost("--config", "--output", "headless");
			await withPage(640, 480, "?config", async (page) => {
				await waitFor(page, "document.title === 'done'");
				assert.equal(await page.evaluate("document.body.dataset.state"), "settings");
				assert.equal(await page.evaluate(
					"document.getElementById('settings').textContent"), listing);
				writeFileSync(join(artifacts, "settings.png"), await page.screenshot());
			});
			await withPage(640, 480, "?preview", async (page) => {
				await waitFor(page, "document.title === 'done'");
				assert.equal(await page.evaluate("document.body.dataset.state"), "declined");
				assert.equal(await page.evaluate("document.getElementById('status').textContent"),
					"the saver declined to run in the preview");
				writeFileSync(join(artifacts, "preview.png"), await page.screenshot());
			});
		});
});
