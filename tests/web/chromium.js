// Debian's Chromium, headless, driven through the DevTools protocol over a
// pipe (--remote-debugging-pipe: JSON messages ending in NUL on file
// descriptors 3 and 4), so that the tests need no package beyond Node.
import { spawn } from "node:child_process";
import { mkdtempSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";

// Headless, and quiet towards the network: only the page's own server.
const kFlags = [
	"--headless",
	"--no-sandbox",
	"--disable-gpu",
	"--disable-quic",
	"--no-first-run",
	"--no-default-browser-check",
	"--disable-background-networking",
	"--disable-component-update",
	"--disable-sync",
	"--disable-extensions",
	"--disable-default-apps",
	"--metrics-recording-only",
	"--mute-audio",
	"--remote-debugging-pipe",
];


export class Chromium {
	static async launch(executable = process.env.CHROMIUM || "chromium") {
		const profile = mkdtempSync(join(tmpdir(), "dustglow-chromium-"));
		const child = spawn(executable, [...kFlags, `--user-data-dir=${profile}`, "about:blank"],
			{ stdio: ["ignore", "ignore", "pipe", "pipe", "pipe"] });
		const browser = new Chromium(child, profile);
		await browser.send("Target.getTargets");
		return browser;
	}

	constructor(child, profile) {
		this.child = child;
		this.profile = profile;
		this.nextId = 1;
		this.pending = new Map();
		this.listeners = new Set();
		this.stderr = "";
		this.exited = new Promise((resolve) => child.once("exit", resolve));
		child.stderr.on("data", (chunk) => {
			this.stderr = (this.stderr + chunk).slice(-4000);
		});
		let buffered = "";
		child.stdio[4].on("data", (chunk) => {
			buffered += chunk.toString("utf8");
			let end;
			while ((end = buffered.indexOf("\0")) >= 0) {
				this.receive(JSON.parse(buffered.slice(0, end)));
				buffered = buffered.slice(end + 1);
			}
		});
		child.once("exit", (code) => {
			for (const { reject } of this.pending.values())
				reject(new Error(`chromium exited (${code}): ${this.stderr}`));
			this.pending.clear();
		});
	}

	receive(message) {
		if (message.id !== undefined) {
			const call = this.pending.get(message.id);
			this.pending.delete(message.id);
			if (!call)
				return;
			if (message.error)
				call.reject(new Error(`${call.method}: ${message.error.message}`));
			else
				call.resolve(message.result);
			return;
		}
		for (const listener of this.listeners)
			listener(message);
	}

	send(method, params = {}, sessionId = undefined) {
		const id = this.nextId++;
		const message = { id, method, params };
		if (sessionId)
			message.sessionId = sessionId;
		return new Promise((resolve, reject) => {
			this.pending.set(id, { resolve, reject, method });
			this.child.stdio[3].write(`${JSON.stringify(message)}\0`);
		});
	}

	// A new tab of width x height CSS pixels, one device pixel each.
	async newPage(width, height) {
		const { targetId } = await this.send("Target.createTarget", { url: "about:blank" });
		const { sessionId } = await this.send("Target.attachToTarget",
			{ targetId, flatten: true });
		const page = new Page(this, targetId, sessionId);
		await page.enable();
		await page.resize(width, height);
		return page;
	}

	async close() {
		try {
			await Promise.race([this.send("Browser.close"),
				new Promise((resolve) => setTimeout(resolve, 2000))]);
		} catch {
			// Gone already.
		}
		const timer = setTimeout(() => this.child.kill("SIGKILL"), 3000);
		await this.exited;
		clearTimeout(timer);
		rmSync(this.profile, { recursive: true, force: true });
	}
}


export class Page {
	constructor(browser, targetId, sessionId) {
		this.browser = browser;
		this.targetId = targetId;
		this.sessionId = sessionId;
		// Everything the page said at the level of an error.
		this.errors = [];
		this.onMessage = (message) => {
			if (message.sessionId !== this.sessionId)
				return;
			const { method, params } = message;
			if (method === "Runtime.exceptionThrown") {
				const details = params.exceptionDetails;
				this.errors.push(`exception: ${details.exception?.description ?? details.text}`);
			} else if (method === "Runtime.consoleAPICalled"
					&& (params.type === "error" || params.type === "assert")) {
				this.errors.push(`console.${params.type}: `
					+ params.args.map((arg) => arg.value ?? arg.description).join(" "));
			} else if (method === "Log.entryAdded" && params.entry.level === "error") {
				this.errors.push(`log: ${params.entry.text} ${params.entry.url ?? ""}`);
			}
		};
		browser.listeners.add(this.onMessage);
	}

	send(method, params = {}) {
		return this.browser.send(method, params, this.sessionId);
	}

	async enable() {
		await this.send("Page.enable");
		await this.send("Runtime.enable");
		await this.send("Log.enable");
	}

	resize(width, height) {
		return this.send("Emulation.setDeviceMetricsOverride",
			{ width, height, deviceScaleFactor: 1, mobile: false });
	}

	async goto(url) {
		const loaded = new Promise((resolve) => {
			const listener = (message) => {
				if (message.sessionId === this.sessionId && message.method === "Page.loadEventFired") {
					this.browser.listeners.delete(listener);
					resolve();
				}
			};
			this.browser.listeners.add(listener);
		});
		const result = await this.send("Page.navigate", { url });
		if (result.errorText)
			throw new Error(`${url}: ${result.errorText}`);
		await loaded;
	}

	// The value of a JavaScript expression in the page (awaited).
	async evaluate(expression) {
		const { result, exceptionDetails } = await this.send("Runtime.evaluate",
			{ expression, awaitPromise: true, returnByValue: true });
		if (exceptionDetails)
			throw new Error(`${expression}: ${exceptionDetails.exception?.description}`);
		return result.value;
	}

	// Polls expression until it is truthy; its value.
	async waitFor(expression, timeout = 30000) {
		const deadline = Date.now() + timeout;
		for (;;) {
			const value = await this.evaluate(expression);
			if (value)
				return value;
			if (Date.now() > deadline) {
				const state = await this.evaluate("JSON.stringify({ ...document.body.dataset, "
					+ "title: document.title, status: document.getElementById('status').textContent })");
				throw new Error(`timed out waiting for ${expression}; page: ${state}; `
					+ `errors: ${this.errors.join("; ")}`);
			}
			await new Promise((resolve) => setTimeout(resolve, 50));
		}
	}

	// A PNG of what the page shows.
	async screenshot() {
		const { data } = await this.send("Page.captureScreenshot", { format: "png" });
		return Buffer.from(data, "base64");
	}

	async close() {
		this.browser.listeners.delete(this.onMessage);
		await this.browser.send("Target.closeTarget", { targetId: this.targetId });
	}
}
