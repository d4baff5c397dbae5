// Game page: a ship dodging asteroids, plus a panel of the keys the page
// receives and the opt-in test hooks.
(function () {
    'use strict';

    var DP = window.DemoPortal;
    var params = DP.queryParams();
    var port = DP.hookPort(params);

    // ---- server name for the HUD ----
    var serverLabel = (function () {
        var id = params.get('server');
        if (id === null || id === '') return '未指定服务器';
        var server = DP.serverById(id);
        if (server) return server.name;
        return '未知服务器（' + (id.length > 16 ? id.slice(0, 16) + '…' : id) + '）';
    })();
    document.title = '星际穿梭 - ' + serverLabel;

    // ---- key panel and key beacon ----
    var KEY_ROWS = 8;
    var keyList = document.getElementById('key-list');
    var keyLog = [];

    function keyText(key) {
        if (key === ' ') return '␣ (Space)';
        if (key === '') return '(空)';
        return key;
    }

    function renderKeys() {
        keyList.textContent = '';
        keyLog.forEach(function (entry) {
            var li = document.createElement('li');
            var k = document.createElement('span');
            k.textContent = keyText(entry.key) + (entry.count > 1 ? ' ×' + entry.count : '');
            var c = document.createElement('span');
            c.className = 'code';
            c.textContent = entry.code || '(无)';
            li.appendChild(k);
            li.appendChild(c);
            keyList.appendChild(li);
        });
    }

    function logKey(e) {
        var top = keyLog[0];
        // Held keys repeat dozens of times a second; fold them into one row.
        if (top && top.key === e.key && top.code === e.code && e.repeat) {
            top.count++;
        } else {
            keyLog.unshift({key: e.key, code: e.code, count: 1});
            if (keyLog.length > KEY_ROWS) keyLog.length = KEY_ROWS;
        }
        renderKeys();
    }

    // ---- game state ----
    var canvas = document.getElementById('game');
    var ctx = canvas.getContext('2d');
    var W = 0;
    var H = 0;

    var held = {};
    var ship = {x: 0, y: 0, r: 14};
    var rocks = [];
    var stars = [];
    var sparks = [];
    var score = 0;
    var best = 0;
    var lives = 3;
    var invulnerable = 0;
    var elapsed = 0;
    var spawnClock = 0;
    var state = 'play';  // 'play' | 'paused' | 'over'
    var background = '#050a1c';
    var STAR_COLORS = [
        'rgba(220, 230, 255, 0.35)', 'rgba(220, 230, 255, 0.6)', 'rgba(220, 230, 255, 0.85)',
    ];
    var shipSprite = makeShipSprite();

    function resize() {
        var dpr = window.devicePixelRatio || 1;
        var oldW = W;
        var oldH = H;
        W = Math.max(1, window.innerWidth);
        H = Math.max(1, window.innerHeight);
        canvas.width = Math.round(W * dpr);
        canvas.height = Math.round(H * dpr);
        ctx.setTransform(dpr, 0, 0, dpr, 0, 0);
        // A view can start out at (almost) zero size before it is mapped;
        // scaling from that would pin the ship into a corner.
        if (oldW < 2 * ship.r || oldH < 2 * ship.r) {
            ship.x = W / 2;
            ship.y = H * 0.8;
        } else {
            ship.x = ship.x * W / oldW;
            ship.y = ship.y * H / oldH;
        }
        clampShip();
        makeStars();
        background = ctx.createLinearGradient(0, 0, 0, H);
        background.addColorStop(0, '#050a1c');
        background.addColorStop(1, '#0b1533');
    }

    function makeStars() {
        var count = Math.min(400, Math.round(W * H / 3500));
        stars = [];
        for (var i = 0; i < count; i++) {
            var layer = i % 3;  // draw() relies on this interleaving
            stars.push({
                x: Math.random() * W,
                y: Math.random() * H,
                speed: 20 + layer * 45,
                size: 0.6 + layer * 0.6,
            });
        }
    }

    function clampShip() {
        ship.x = Math.min(W - ship.r, Math.max(ship.r, ship.x));
        ship.y = Math.min(H - ship.r, Math.max(ship.r, ship.y));
    }

    function reset() {
        rocks = [];
        sparks = [];
        score = 0;
        lives = 3;
        invulnerable = 1.5;
        elapsed = 0;
        spawnClock = 0;
        ship.x = W / 2;
        ship.y = H * 0.8;
        state = 'play';
    }

    function spawnRock() {
        var r = 12 + Math.random() * 26;
        var points = [];
        var n = 9 + Math.floor(Math.random() * 4);
        for (var i = 0; i < n; i++) points.push(0.72 + Math.random() * 0.32);
        var difficulty = Math.min(2.5, 1 + elapsed / 40);
        rocks.push({
            x: Math.random() * W,
            y: -r,
            r: r,
            vx: (Math.random() - 0.5) * 60,
            vy: (70 + Math.random() * 110) * difficulty,
            rot: Math.random() * Math.PI * 2,
            vr: (Math.random() - 0.5) * 2,
            points: points,
            hue: 20 + Math.random() * 20,
            fill: null,
        });
    }

    function burst(x, y, color) {
        for (var i = 0; i < 26; i++) {
            var a = Math.random() * Math.PI * 2;
            var s = 60 + Math.random() * 220;
            sparks.push(
                {x: x, y: y, vx: Math.cos(a) * s, vy: Math.sin(a) * s, life: 0.8, color: color});
        }
    }

    function axis(neg, pos) {
        var v = 0;
        neg.forEach(function (c) { if (held[c]) v -= 1; });
        pos.forEach(function (c) { if (held[c]) v += 1; });
        return Math.max(-1, Math.min(1, v));
    }

    function update(dt) {
        for (var i = 0; i < stars.length; i++) {
            var st = stars[i];
            st.y += st.speed * dt * (state === 'play' ? 1 : 0.25);
            if (st.y > H) {
                st.y -= H;
                st.x = Math.random() * W;
            }
        }
        for (var j = sparks.length - 1; j >= 0; j--) {
            var p = sparks[j];
            p.x += p.vx * dt;
            p.y += p.vy * dt;
            p.life -= dt;
            if (p.life <= 0) sparks.splice(j, 1);
        }
        if (state !== 'play') return;

        elapsed += dt;
        score += dt * 10;
        invulnerable = Math.max(0, invulnerable - dt);

        var speed = 320;
        var dx = axis(['ArrowLeft', 'KeyA'], ['ArrowRight', 'KeyD']);
        var dy = axis(['ArrowUp', 'KeyW'], ['ArrowDown', 'KeyS']);
        var len = Math.hypot(dx, dy) || 1;
        ship.x += dx / len * speed * dt;
        ship.y += dy / len * speed * dt;
        clampShip();

        // More room means more rocks; the pace also rises slowly with time.
        var perSecond = (W * H / 250000) * (1 + elapsed / 30);
        spawnClock += dt * Math.min(perSecond, 30);
        while (spawnClock >= 1) {
            spawnClock -= 1;
            spawnRock();
        }

        for (var k = rocks.length - 1; k >= 0; k--) {
            var rk = rocks[k];
            rk.x += rk.vx * dt;
            rk.y += rk.vy * dt;
            rk.rot += rk.vr * dt;
            if (rk.y - rk.r > H) {
                rocks.splice(k, 1);
                score += 5;
                continue;
            }
            var hit = Math.hypot(rk.x - ship.x, rk.y - ship.y) < rk.r * 0.85 + ship.r * 0.7;
            if (hit && invulnerable === 0) {
                burst(rk.x, rk.y, '#ffb060');
                rocks.splice(k, 1);
                lives--;
                invulnerable = 1.5;
                if (lives <= 0) {
                    burst(ship.x, ship.y, '#9fd0ff');
                    state = 'over';
                    best = Math.max(best, Math.floor(score));
                }
            }
        }
    }

    // The glow is a blur, far too slow to redo each frame on a software
    // canvas, so the ship is drawn once into its own canvas.
    function makeShipSprite() {
        // Drawn at twice the size it is shown, so it stays sharp on HiDPI.
        var size = 64;
        var c = document.createElement('canvas');
        c.width = size * 2;
        c.height = size * 2;
        var g2 = c.getContext('2d');
        g2.scale(2, 2);
        var x = size / 2;
        var y = size / 2;
        g2.shadowColor = '#6fb6ff';
        g2.shadowBlur = 14;
        var g = g2.createLinearGradient(x, y - 18, x, y + 14);
        g.addColorStop(0, '#e8f4ff');
        g.addColorStop(1, '#3a78d8');
        g2.fillStyle = g;
        g2.beginPath();
        g2.moveTo(x, y - 18);
        g2.lineTo(x + 14, y + 14);
        g2.lineTo(x, y + 7);
        g2.lineTo(x - 14, y + 14);
        g2.closePath();
        g2.fill();
        g2.shadowBlur = 0;
        g2.fillStyle = '#f3d98b';
        g2.beginPath();
        g2.arc(x, y - 2, 3, 0, Math.PI * 2);
        g2.fill();
        return c;
    }

    function drawShip() {
        if (state === 'over') return;
        if (invulnerable > 0 && Math.floor(invulnerable * 10) % 2 === 0) return;
        var x = ship.x;
        var y = ship.y;
        var flame = 8 + Math.random() * 8;
        ctx.fillStyle = 'rgba(255, 160, 60, 0.85)';
        ctx.beginPath();
        ctx.moveTo(x - 6, y + 12);
        ctx.lineTo(x, y + 12 + flame);
        ctx.lineTo(x + 6, y + 12);
        ctx.fill();
        ctx.drawImage(shipSprite, x - 32, y - 32, 64, 64);
    }

    function drawRock(rk) {
        ctx.save();
        ctx.translate(rk.x, rk.y);
        ctx.rotate(rk.rot);
        ctx.beginPath();
        var n = rk.points.length;
        for (var i = 0; i < n; i++) {
            var a = i / n * Math.PI * 2;
            var rr = rk.r * rk.points[i];
            if (i === 0) ctx.moveTo(Math.cos(a) * rr, Math.sin(a) * rr);
            else ctx.lineTo(Math.cos(a) * rr, Math.sin(a) * rr);
        }
        ctx.closePath();
        // In the rock's own coordinates, so one gradient serves its whole fall.
        if (!rk.fill) {
            rk.fill = ctx.createRadialGradient(-rk.r * 0.3, -rk.r * 0.3, 1, 0, 0, rk.r);
            rk.fill.addColorStop(0, 'hsl(' + rk.hue + ', 25%, 55%)');
            rk.fill.addColorStop(1, 'hsl(' + rk.hue + ', 30%, 18%)');
        }
        ctx.fillStyle = rk.fill;
        ctx.fill();
        ctx.strokeStyle = 'rgba(255, 220, 180, 0.25)';
        ctx.lineWidth = 1;
        ctx.stroke();
        ctx.restore();
    }

    // The HUD is DOM text, touched only when a value changes: redrawing CJK
    // text on the canvas every frame is costly under software rendering.
    var hud = {
        score: document.getElementById('hud-score'),
        best: document.getElementById('hud-best'),
        lives: document.getElementById('hud-lives'),
        banner: document.getElementById('banner'),
    };
    document.getElementById('hud-server').textContent = serverLabel;
    var shown = {};

    function setText(el, key, value) {
        if (shown[key] === value) return;
        shown[key] = value;
        el.textContent = value;
    }

    function updateHud() {
        var now = Math.floor(score);
        setText(hud.score, 'score', String(now));
        setText(hud.best, 'best', String(Math.max(best, now)));
        var hearts = '';
        for (var i = 0; i < 3; i++) hearts += i < lives ? '♥' : '♡';
        setText(hud.lives, 'lives', hearts);

        var banner = '';
        if (state === 'paused') banner = 'paused';
        else if (state === 'over') banner = 'over:' + now;
        if (shown.banner === banner) return;
        shown.banner = banner;
        hud.banner.hidden = banner === '';
        hud.banner.className = state === 'over' ? 'over' : '';
        var big = hud.banner.firstElementChild;
        var small = hud.banner.lastElementChild;
        if (state === 'paused') {
            big.textContent = '已暂停';
            small.textContent = '按 Esc 继续';
        } else if (state === 'over') {
            big.textContent = '飞船被击毁';
            small.textContent = '本局得分 ' + now + '，按 Enter 重新开始';
        }
    }

    function draw() {
        ctx.fillStyle = background;
        ctx.fillRect(0, 0, W, H);
        var stretch = state === 'play' ? 2.2 : 1;
        for (var layer = 0; layer < 3; layer++) {
            ctx.fillStyle = STAR_COLORS[layer];
            for (var i = layer; i < stars.length; i += 3) {
                var st = stars[i];
                ctx.fillRect(st.x, st.y, st.size, st.size * stretch);
            }
        }
        rocks.forEach(drawRock);
        sparks.forEach(function (p) {
            ctx.globalAlpha = Math.max(0, p.life / 0.8);
            ctx.fillStyle = p.color;
            ctx.fillRect(p.x - 1.5, p.y - 1.5, 3, 3);
        });
        ctx.globalAlpha = 1;
        drawShip();
        updateHud();
    }

    var last = 0;
    function frame(now) {
        // A long gap (hidden tab, debugger) must not teleport everything.
        var dt = last ? Math.min(0.05, (now - last) / 1000) : 0;
        last = now;
        update(dt);
        draw();
        window.requestAnimationFrame(frame);
    }

    var GAME_KEYS = {
        ArrowLeft: 1, ArrowRight: 1, ArrowUp: 1, ArrowDown: 1, Space: 1,
    };

    // Capture phase, so nothing on the page can hide a key from the log.
    window.addEventListener('keydown', function (e) {
        DP.beacon(port, 'key',
            'key=' + encodeURIComponent(e.key) + '&code=' + encodeURIComponent(e.code));
        logKey(e);
        held[e.code || e.key] = true;
        if (GAME_KEYS[e.code]) e.preventDefault();
        if (e.repeat) return;
        if (e.key === 'Escape') {
            if (state === 'play') state = 'paused';
            else if (state === 'paused') state = 'play';
        } else if (e.key === 'Enter' && state === 'over') {
            reset();
        } else if (e.key === 'Enter' && state === 'paused') {
            state = 'play';
        }
    }, true);
    window.addEventListener('keyup', function (e) {
        held[e.code || e.key] = false;
    }, true);
    // Keys released while another window had focus never send keyup.
    window.addEventListener('blur', function () {
        held = {};
    });
    window.addEventListener('resize', resize);
    window.addEventListener('load', function () {
        DP.beacon(port, 'loaded', 'page=game&nav_ms=' + DP.navMs());
    });

    resize();
    reset();
    window.requestAnimationFrame(frame);
})();
