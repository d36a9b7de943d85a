// The demo pages read the data server's seed (data/catalog.json) to show the game or tool
// their address names (?id= or ?aid=). Catalog texts go into the page as text, never as HTML.
"use strict";

const Catalog = {
    data: null,

    load() {
        return fetch("/data/catalog.json")
            .then((reply) => reply.json())
            .then((data) => {
                Catalog.data = data;
                return data;
            });
    },

    // The number after `name=` in the address, else the number a page is named by
    // (/pages/30013.html), else 0.
    param(name) {
        const value = new URLSearchParams(location.search).get(name);
        if (value && /^\d+$/.test(value)) {
            return Number(value);
        }
        const named = /\/(\d+)\.html$/.exec(location.pathname);
        return named ? Number(named[1]) : 0;
    },

    game(id) {
        return Catalog.data.games.find((g) => g.id === id) || null;
    },

    tool(id) {
        return Catalog.data.tools.find((t) => t.id === id) || null;
    },

    toolsOf(gameId) {
        return Catalog.data.tools.filter((t) => t.GAMEID === gameId);
    },

    // Games in the order the server ranks them.
    rankedGames() {
        const order = new Map(Catalog.data.ranking.games.map((e) => [e.id, e.position]));
        return Catalog.data.games.slice().sort((a, b) => (order.get(a.id) || 99) - (order.get(b.id) || 99));
    },

    // Addresses in the seed start with the server's own base, "{{http}}".
    local(address) {
        return (address || "").replace("{{http}}", "");
    },

    gameIcon(game) {
        return Catalog.local(game.PNG);
    },

    toolIcon(tool) {
        if (tool.PNGURL) {
            return Catalog.local(tool.PNGURL);
        }
        return tool.TYPE === 191 || tool.TYPE === 192 ? "/icons/tool/defaultD.png" : "/icons/tool/defaultC.png";
    },

    kind(tool) {
        switch (tool.TYPE) {
            case 187: return "下载安装的工具";
            case 188: return "在小窗口中打开的网页";
            case 189: return "在浏览器中打开的网页";
            case 190: return "在大窗口中打开的网页";
            case 191:
            case 192: return "下载安装的工具（自带图标）";
            default: return "未知类型";
        }
    },

    isProgram(tool) {
        return tool.TYPE === 187 || tool.TYPE === 191 || tool.TYPE === 192;
    },
};

// Small helpers to build the page from data.
function el(tag, attrs, ...children) {
    const node = document.createElement(tag);
    for (const [key, value] of Object.entries(attrs || {})) {
        if (key === "class") {
            node.className = value;
        } else {
            node.setAttribute(key, value);
        }
    }
    for (const child of children) {
        node.append(child instanceof Node ? child : document.createTextNode(String(child)));
    }
    return node;
}

function fill(id, ...children) {
    const target = document.getElementById(id);
    target.replaceChildren(...children);
    return target;
}

function notFound(what) {
    fill("content", el("div", { class: "card" },
        el("h2", {}, "没有找到" + what),
        el("p", { class: "muted" }, "地址中的编号不在目录里。请回到Ravik游戏桌面重新打开。")));
}
