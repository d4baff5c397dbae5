// Launcher page: server choice, the hand-over to the client through
// window.external.outLink(title, url), and the opt-in test hooks.
(function () {
    'use strict';

    var DP = window.DemoPortal;
    var params = DP.queryParams();
    var port = DP.hookPort(params);
    var probeMode = params.get('probe') === '1';
    var autoMode = params.get('auto') === '1';
    // upper=1 exercises the host object's case-insensitive name lookup.
    var methodName = params.get('upper') === '1' ? 'OUTLINK' : 'outLink';

    var listEl = document.getElementById('server-list');
    var enterBtn = document.getElementById('enter');
    var currentEl = document.getElementById('current-name');
    var noticeEl = document.getElementById('notice');

    var selected = -1;
    var rows = [];
    var noticeTimer = 0;
    // A double-click also fires two clicks; after a call went through, ignore
    // further launches briefly so the client receives exactly one.
    var launchedAt = -Infinity;

    function showNotice(text) {
        noticeEl.textContent = text;
        noticeEl.hidden = false;
        clearTimeout(noticeTimer);
        noticeTimer = setTimeout(function () {
            noticeEl.hidden = true;
        }, 6000);
    }

    function isOpen(server) {
        return server && server.status !== 'maint';
    }

    function select(index) {
        if (index < 0 || index >= DP.SERVERS.length) return;
        var server = DP.SERVERS[index];
        if (!isOpen(server)) {
            showNotice('「' + server.name + '」正在维护中，请选择其他服务器。');
            return;
        }
        selected = index;
        for (var i = 0; i < rows.length; i++) {
            rows[i].classList.toggle('selected', i === index);
            rows[i].setAttribute('aria-selected', i === index ? 'true' : 'false');
        }
        currentEl.textContent = server.name;
        enterBtn.disabled = false;
    }

    function moveSelection(step) {
        var n = DP.SERVERS.length;
        for (var k = 1; k <= n; k++) {
            var i = (((selected + step * k) % n) + n) % n;
            if (isOpen(DP.SERVERS[i])) {
                select(i);
                return;
            }
        }
    }

    // game.html next to this page, as an absolute URL (the client opens it in
    // another window, so a relative one would mean nothing there). Only the
    // hook parameters the game understands are carried over.
    function gameUrl(server) {
        var url = new URL('game.html', window.location.href);
        var out = new URLSearchParams();
        ['port', 'auto'].forEach(function (key) {
            if (params.has(key)) out.set(key, params.get(key));
        });
        out.set('server', String(server.id));
        url.search = out.toString();
        url.hash = '';
        return url.href;
    }

    function errorText(e) {
        if (e && e.message !== undefined) return String(e.message);
        return String(e);
    }

    function launch(server) {
        if (!isOpen(server)) {
            if (server) showNotice('「' + server.name + '」正在维护中，暂时无法进入。');
            return;
        }
        if (performance.now() - launchedAt < 1500) return;

        var ext;
        var fn;
        try {
            ext = window.external;
            fn = ext ? ext[methodName] : undefined;
        } catch (e) {
            fn = undefined;
        }
        if (fn === undefined || fn === null) {
            showNotice('未检测到游戏客户端接口 window.external.' + methodName +
                '，请在客户端中打开本页面。');
            return;
        }

        var url = gameUrl(server);
        try {
            // Called as a method so the host object sees itself as `this`.
            ext[methodName](server.name, url);
            launchedAt = performance.now();
        } catch (e) {
            showNotice('启动游戏失败：' + errorText(e));
            DP.beacon(port, 'launch_error', 'method=' + methodName + '&error=' +
                encodeURIComponent(errorText(e)));
        }
    }

    function renderServers() {
        DP.SERVERS.forEach(function (server, index) {
            var li = document.createElement('li');
            li.className = 'server' + (isOpen(server) ? '' : ' disabled');
            li.setAttribute('role', 'option');
            li.setAttribute('aria-disabled', isOpen(server) ? 'false' : 'true');
            li.dataset.id = String(server.id);

            var gem = document.createElement('span');
            gem.className = 'gem';
            var name = document.createElement('span');
            name.className = 'name';
            name.textContent = server.name;
            li.appendChild(gem);
            li.appendChild(name);
            if (server.tag) {
                var tag = document.createElement('span');
                tag.className = 'tag';
                tag.textContent = server.tag;
                li.appendChild(tag);
            }
            var badge = document.createElement('span');
            badge.className = 'badge ' + server.status;
            badge.textContent = DP.STATUS_TEXT[server.status] || '';
            li.appendChild(badge);

            li.addEventListener('click', function () {
                select(index);
            });
            li.addEventListener('dblclick', function () {
                if (!isOpen(server)) return;
                select(index);
                launch(server);
            });
            listEl.appendChild(li);
            rows.push(li);
        });
    }

    // Reports how the host object behaves, for tests of the client's binding.
    // Never makes a valid call: that would start the game.
    function runProbe() {
        var fields = [];
        var add = function (k, v) {
            fields.push(k + '=' + encodeURIComponent(String(v)));
        };
        var ext;
        try {
            ext = window.external;
        } catch (e) {
            ext = undefined;
        }
        var hasExt = ext !== undefined && ext !== null;
        add('external', hasExt ? 1 : 0);
        var outType = 'undefined';
        var upperType = 'undefined';
        try {
            if (hasExt) {
                outType = typeof ext.outLink;
                upperType = typeof ext.OUTLINK;
            }
        } catch (e) {
            outType = 'error';
        }
        add('outlink', outType === 'function' ? 1 : 0);
        add('outlink_type', outType);
        add('upper_fn', upperType === 'function' ? 1 : 0);
        try {
            window.external.outLink('a', 'b', 'c');
            add('threw', 0);
        } catch (e) {
            add('threw', 1);
            add('error_name', e && e.name ? e.name : '');
            add('error', errorText(e));
        }
        DP.beacon(port, 'probe', fields.join('&'));
    }

    renderServers();
    enterBtn.disabled = true;
    moveSelection(1);

    enterBtn.addEventListener('click', function () {
        launch(DP.SERVERS[selected]);
    });
    document.addEventListener('keydown', function (e) {
        if (e.key === 'ArrowDown') {
            moveSelection(1);
            e.preventDefault();
        } else if (e.key === 'ArrowUp') {
            moveSelection(-1);
            e.preventDefault();
        } else if (e.key === 'Enter' && e.target !== enterBtn) {
            // On the focused button, Enter already produces a click.
            launch(DP.SERVERS[selected]);
            e.preventDefault();
        }
    });

    window.addEventListener('load', function () {
        DP.beacon(port, 'loaded', 'page=launcher&nav_ms=' + DP.navMs());
        if (probeMode) {
            runProbe();
        } else if (autoMode) {
            setTimeout(function () {
                launch(DP.SERVERS[0]);
            }, 300);
        }
    });
})();
