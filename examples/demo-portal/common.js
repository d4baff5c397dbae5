// Shared by launcher.html and game.html: the server table and the opt-in test hooks.
// Plain script (no modules) so both pages work when opened straight from file://.
(function (global) {
    'use strict';

    // status: 'hot' (火爆), 'smooth' (流畅) or 'maint' (维护, cannot be entered).
    var SERVERS = [
        {id: 1, name: '星辰一区 · 晨曦', status: 'hot', tag: '推荐'},
        {id: 2, name: '星辰二区 · 暮光', status: 'smooth', tag: ''},
        {id: 3, name: '龙吟三区 · 青锋', status: 'hot', tag: ''},
        {id: 4, name: '凤鸣四区 · 赤焰', status: 'smooth', tag: '新区'},
        {id: 5, name: '苍穹五区 · 流云', status: 'smooth', tag: ''},
        {id: 6, name: '幽冥六区 · 夜烬', status: 'maint', tag: ''},
    ];

    var STATUS_TEXT = {hot: '火爆', smooth: '流畅', maint: '维护'};

    function serverById(id) {
        for (var i = 0; i < SERVERS.length; i++) {
            if (String(SERVERS[i].id) === String(id)) return SERVERS[i];
        }
        return null;
    }

    function queryParams() {
        try {
            return new URLSearchParams(global.location.search);
        } catch (e) {
            return new URLSearchParams('');
        }
    }

    // Returns the beacon port, or 0 when the hooks are off. Anything but a plain
    // decimal in 1..65535 counts as off, so a typo never sends requests elsewhere.
    function hookPort(params) {
        var raw = params.get('port');
        if (raw === null || !/^[0-9]{1,5}$/.test(raw)) return 0;
        var n = parseInt(raw, 10);
        return n >= 1 && n <= 65535 ? n : 0;
    }

    // Images whose request is still in flight; holding them stops an early
    // garbage collection from cancelling the request.
    var inFlight = [];

    // `query` is sent verbatim; callers encode values themselves so each
    // beacon's format stays visible where it is built.
    function beacon(port, path, query) {
        if (!port) return;
        var img = new Image();
        var done = function () {
            var i = inFlight.indexOf(img);
            if (i >= 0) inFlight.splice(i, 1);
        };
        img.onload = done;
        img.onerror = done;
        if (inFlight.length > 64) inFlight.shift();
        inFlight.push(img);
        img.src = 'http://127.0.0.1:' + port + '/' + path + (query ? '?' + query : '');
    }

    function navMs() {
        return global.performance && performance.now ? performance.now().toFixed(1) : '';
    }

    global.DemoPortal = {
        SERVERS: SERVERS,
        STATUS_TEXT: STATUS_TEXT,
        serverById: serverById,
        queryParams: queryParams,
        hookPort: hookPort,
        beacon: beacon,
        navMs: navMs,
    };
})(window);
