// The web page's figures, beside `make bench`; not a test. In headless
// Chromium (software compositing) at 1920x1080, in one run:
// - the CPU of all of Chromium's processes with the page, with the
//   reference page (reference.html: what any saver of this kind costs the
//   browser) and with about:blank, each in a tab of its own for SECONDS,
//   ROUNDS times in turn; the page's and the reference's less about:blank's;
// - the page's own work a tick: each requestAnimationFrame callback that
//   drew a frame, timed in the page;
// - the module's size, the time from navigation to the first frame, and
//   saverhost --output headless --paced at the same size, for scale.
//   make bench-web [WEB_BENCH_SECONDS=10 WEB_BENCH_ROUNDS=3]
// SITE=folder measures another build of the page.
import { execFileSync, spawn } from "node:child_process";
import { mkdtempSync, readFileSync, readdirSync, rmSync, statSync, symlinkSync } from "node:fs";
import { tmpdir } from "node:os";
import { dirname, join, resolve } from "node:path";
import { fileURLToPath } from "node:url";

import { launchChromium, newPage } from "../../tests/web/browser.js";

const top = resolve(dirname(fileURLToPath(import.meta.url)), "../..");
const build = resolve(top, process.env.BUILD || "build");
const site = resolve(top, process.env.SITE
	|| join(process.env.WEB_BUILD || "build-web", "site"));
const seconds = Number(process.argv[2] || 10);
const rounds = Number(process.argv[3] || 3);
const kWidth = 1920;
const kHeight = 1080;
const kClockTicks = 100;	// USER_HZ


// The CPU time (s) of a process and of all of its descendants alive now.
function treeCpu(root) {
	const children = new Map();
	const cpu = new Map();
	for (const name of readdirSync("/proc")) {
		if (!/^\d+$/.test(name))
			continue;
		try {
			const stat = readFileSync(`/proc/${name}/stat`, "utf8");
			const fields = stat.slice(stat.lastIndexOf(")") + 2).split(" ");
			const parent = Number(fields[1]);
			cpu.set(Number(name), (Number(fields[11]) + Number(fields[12])) / kClockTicks);
			if (!children.has(parent))
				children.set(parent, []);
			children.get(parent).push(Number(name));
		} catch {
			// Gone meanwhile.
		}
	}
	let total = 0;
	const walk = (pid) => {
		total += cpu.get(pid) ?? 0;
		for (const child of children.get(pid) ?? [])
			walk(child);
	};
	walk(root);
	return total;
}


function median(values) {
	const sorted = [...values].sort((a, b) => a - b);
	const middle = Math.floor(sorted.length / 2);
	return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}


// In every tab before its page runs: each requestAnimationFrame callback
// after which <body>'s data-frames has changed is a tick, and its time is
// kept in window.tickCosts (ms).
function timeTicks() {
	const costs = [];
	window.tickCosts = costs;
	const request = window.requestAnimationFrame.bind(window);
	window.requestAnimationFrame = (callback) => request((now) => {
		const frames = document.body?.dataset.frames;
		const start = performance.now();
		try {
			callback(now);
		} finally {
			if (document.body?.dataset.frames !== frames)
				costs.push(performance.now() - start);
		}
	});
}


// One tab at url for seconds, once it has drawn 25 ticks: Chromium's CPU
// (% of a core) and the ticks' costs.
async function measure(browser, url) {
	const page = await newPage(browser, kWidth, kHeight);
	await page.evaluateOnNewDocument(timeTicks);
	await page.goto(url);
	if (url === "about:blank")
		await new Promise((done) => setTimeout(done, 2000));
	else
		await page.waitForFunction("Number(document.body.dataset.frames) >= 25", { polling: 50 });
	const costs0 = await page.evaluate("tickCosts.length");
	const cpu0 = treeCpu(browser.process().pid);
	const wall0 = performance.now();
	await new Promise((done) => setTimeout(done, seconds * 1000));
	const cpu = treeCpu(browser.process().pid) - cpu0;
	const wall = (performance.now() - wall0) / 1000;
	const costs = await page.evaluate(`tickCosts.slice(${costs0})`);
	const isolated = await page.evaluate("crossOriginIsolated");
	await page.close();
	return { percent: (100 * cpu) / wall, costs, isolated };
}


// A folder with the page (page/) and the reference page, served as
// make web-serve serves the page.
function serve() {
	const root = mkdtempSync(join(tmpdir(), "dustglow-web-bench-"));
	symlinkSync(site, join(root, "page"));
	symlinkSync(join(top, "bench/web/reference.html"), join(root, "reference.html"));
	const server = spawn(join(top, "scripts/serve-web"), [root, "0"],
		{ stdio: ["ignore", "pipe", "ignore"] });
	const origin = new Promise((done, failed) => {
		let said = "";
		server.stdout.on("data", (chunk) => {
			said += chunk;
			const match = /http:\/\/[\d.]+:\d+/.exec(said);
			if (match)
				done(match[0]);
		});
		server.once("exit", (code) => failed(new Error(`serve-web exited (${code})`)));
	});
	return { origin, stop: () => { server.kill(); rmSync(root, { recursive: true }); } };
}


const wasm = statSync(join(site, "dustglow.wasm")).size;
const server = serve();
const origin = await server.origin;
const browser = await launchChromium();
const kinds = {
	blank: "about:blank",
	reference: `${origin}/reference.html`,
	// The same motes every time.
	page: `${origin}/page/?clock=1000000`,
};
const results = { blank: [], reference: [], page: [] };
const firsts = [];
try {
	// Navigation to the first frame on the canvas, a fresh tab each time.
	for (let i = 0; i < 5; i++) {
		const page = await newPage(browser, kWidth, kHeight);
		await page.goto(`${origin}/page/?frames=1`);
		await page.waitForFunction("document.title === 'done'", { polling: 50 });
		firsts.push(Number(await page.evaluate("document.body.dataset.firstFrame")));
		await page.close();
	}
	// The three in turn, each round starting with the next one, so that a
	// burst of load on the machine falls on all of them alike.
	const order = Object.keys(kinds);
	for (let round = 0; round < rounds; round++) {
		for (let i = 0; i < order.length; i++) {
			const kind = order[(round + i) % order.length];
			results[kind].push(await measure(browser, kinds[kind]));
		}
	}
} finally {
	await browser.close();
	server.stop();
}

// saverhost, headless and paced, as BENCHMARKS.md's HostCpu row runs it.
const ticks = seconds * 25;
const timed = execFileSync("bash", ["-c", "TIMEFORMAT='%R %U %S'; { time "
	+ `${join(build, "bin/saverhost")} --output headless --paced --size ${kWidth}x${kHeight} `
	+ `--frames ${ticks} >/dev/null; } 2>&1`], { encoding: "utf8" });
const [hostWall, user, system] = timed.trim().split(/\s+/).map(Number);

const cpu = (kind) => median(results[kind].map((run) => run.percent));
const costs = (kind) => results[kind].flatMap((run) => run.costs);
const blank = cpu("blank");
const pageCpu = cpu("page") - blank;
const referenceCpu = cpu("reference") - blank;
const work = median(costs("page"));
const row = (label, value, target) => console.log(`  ${label.padEnd(66)}${value.padStart(8)}`
	+ `   target ${target}`);
console.log(`Web page at ${kWidth}x${kHeight}, headless Chromium, ${rounds} rounds of `
	+ `${seconds} s (median of the rounds):`);
row("page's own work a tick, ms (median)", work.toFixed(3), "<= 0.6");
row("Chromium CPU, page / reference page, less about:blank", (pageCpu / referenceCpu)
	.toFixed(3), "<= 1.25");
row("  page, % of one core, less about:blank", pageCpu.toFixed(1), "none set");
row("  reference page, % of one core, less about:blank", referenceCpu.toFixed(1), "none set");
row("  about:blank, % of one core", blank.toFixed(1), "none set");
row("  reference page's work a tick, ms (median)", median(costs("reference")).toFixed(3),
	"none set");
const hostTick = (1000 * (user + system)) / ticks;
row("  page's work a tick / saverhost's CPU a tick (native, headless)",
	(work / hostTick).toFixed(3), "none set");
row("saverhost headless paced, % of one core", (100 * (user + system) / hostWall)
	.toFixed(1), "none set");
console.log(`Rounds, % of one core: page ${results.page.map((r) => r.percent.toFixed(1))}; `
	+ `reference ${results.reference.map((r) => r.percent.toFixed(1))}; `
	+ `about:blank ${results.blank.map((r) => r.percent.toFixed(1))}`);
const pageCosts = costs("page").sort((a, b) => a - b);
const at = (share) => pageCosts[Math.floor(share * (pageCosts.length - 1))].toFixed(3);
console.log(`The page's ticks: ${pageCosts.length}, ms: 10% ${at(0.1)}, median ${at(0.5)}, `
	+ `90% ${at(0.9)}, mean ${(pageCosts.reduce((a, b) => a + b, 0) / pageCosts.length)
		.toFixed(3)}${results.page[0].isolated ? "" : " (a coarse clock: the page was not "
		+ "cross-origin isolated)"}`);
console.log(`Module ${wasm} bytes; first frame ${median(firsts).toFixed(0)} ms after `
	+ `navigation (median of 5: ${firsts.map((ms) => ms.toFixed(0)).join(", ")})`);
