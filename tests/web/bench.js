// Figures for the web page, not a test: the module's size, the time from
// navigation to the first frame, and what a tick costs at 1920x1080 in
// headless Chromium beside saverhost on the same machine.
//   make web build && (cd tests/web && npm ci) && node tests/web/bench.js [seconds]
import { execFileSync, spawn } from "node:child_process";
import { readFileSync, readdirSync, statSync } from "node:fs";
import { dirname, join, resolve } from "node:path";
import { fileURLToPath } from "node:url";

import { launchChromium, newPage } from "./browser.js";

const top = resolve(dirname(fileURLToPath(import.meta.url)), "../..");
const build = resolve(top, process.env.BUILD || "build");
const site = resolve(top, process.env.WEB_BUILD || "build-web", "site");
const seconds = Number(process.argv[2] || 10);
const ticks = seconds * 25;
const clockTicks = 100;	// USER_HZ


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
			cpu.set(Number(name), (Number(fields[11]) + Number(fields[12])) / clockTicks);
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
	return sorted[Math.floor(sorted.length / 2)];
}


const wasm = statSync(join(site, "dustglow.wasm")).size;
console.log(`module: ${wasm} bytes (${(wasm / 1024).toFixed(1)} KiB)`);

const server = spawn("python3", ["-u", "-m", "http.server", "--bind", "127.0.0.1",
	"--directory", site, "0"], { stdio: ["ignore", "pipe", "ignore"] });
const origin = await new Promise((done) => {
	let said = "";
	server.stdout.on("data", (chunk) => {
		said += chunk;
		const match = /port (\d+)/.exec(said);
		if (match)
			done(`http://127.0.0.1:${match[1]}`);
	});
});
const browser = await launchChromium();
try {
	// Navigation to the first frame on the canvas, a fresh tab each time.
	const firsts = [];
	for (let i = 0; i < 5; i++) {
		const page = await newPage(browser, 1920, 1080);
		await page.goto(`${origin}/?frames=1`);
		await page.waitForFunction("document.title === 'done'", { polling: 50 });
		firsts.push(Number(await page.evaluate("document.body.dataset.firstFrame")));
		await page.close();
	}
	console.log(`first frame at 1920x1080: ${median(firsts).toFixed(1)} ms after navigation `
		+ `(median of 5: ${firsts.map((ms) => ms.toFixed(0)).join(", ")})`);

	// A paced run: the main thread's tasks, and the CPU of every Chromium
	// process, over ticks ticks.
	const page = await newPage(browser, 1920, 1080);
	await page.goto(`${origin}/?fps`);
	await page.waitForFunction("Number(document.body.dataset.frames) >= 25", { polling: 50 });
	const frames0 = Number(await page.evaluate("document.body.dataset.frames"));
	const task0 = (await page.metrics()).TaskDuration;
	const cpu0 = treeCpu(browser.process().pid);
	const wall0 = performance.now();
	await new Promise((done) => setTimeout(done, seconds * 1000));
	const frames = Number(await page.evaluate("document.body.dataset.frames")) - frames0;
	const task = (await page.metrics()).TaskDuration - task0;
	const cpu = treeCpu(browser.process().pid) - cpu0;
	const wall = (performance.now() - wall0) / 1000;
	const overlay = await page.evaluate("document.getElementById('fps').textContent");
	await page.close();
	console.log(`page at 1920x1080: ${frames} ticks in ${wall.toFixed(1)} s (${overlay}); `
		+ `main thread ${(1000 * task / frames).toFixed(2)} ms a tick; all of Chromium `
		+ `${(1000 * cpu / frames).toFixed(2)} ms of CPU a tick, ${(100 * cpu / wall).toFixed(1)}% `
		+ "of a core");
} finally {
	await browser.close();
	server.kill();
}

// saverhost, headless and paced, as BENCHMARKS.md's HostCpu row runs it.
const timed = execFileSync("bash", ["-c", `TIMEFORMAT='%R %U %S'; { time `
	+ `${join(build, "bin/saverhost")} --output headless --paced --size 1920x1080 `
	+ `--frames ${ticks} >/dev/null; } 2>&1`], { encoding: "utf8" });
const [wall, user, system] = timed.trim().split(/\s+/).map(Number);
console.log(`saverhost --output headless --paced --size 1920x1080: ${ticks} ticks in `
	+ `${wall.toFixed(1)} s, ${(1000 * (user + system) / ticks).toFixed(2)} ms of CPU a tick, `
	+ `${(100 * (user + system) / wall).toFixed(1)}% of a core`);
