// A game's three pages (?id=<game id>): its information page (资料专区, also the start
// entry's page), its official site and its download page; <body data-page> says which.
"use strict";

function toolList(game) {
    return el("div", { class: "grid" }, ...Catalog.toolsOf(game.id).map((t) =>
        el("a", { class: "item", href: "/rv_intro.php?aid=" + t.id },
            el("img", { src: Catalog.toolIcon(t), alt: "" }),
            el("div", {}, el("div", { class: "name" }, t.TITLE), el("div", { class: "note" }, Catalog.kind(t))))));
}

const pages = {
    info(game) {
        return [
            el("div", { class: "card" }, el("h2", {}, "游戏简介"), el("p", {}, game.INFO)),
            el("div", { class: "card" }, el("h2", {}, "专区工具"),
                el("p", { class: "muted" }, "这些工具和页面在Ravik游戏桌面的游戏专区里都能找到。"), toolList(game)),
        ];
    },
    site(game) {
        return [
            el("div", { class: "card" }, el("h2", {}, "欢迎来到《" + game.TITLE + "》"), el("p", {}, game.INFO),
                el("p", {}, el("a", { class: "button gold", href: "/game/download.html?id=" + game.id }, "立即下载"), " ",
                    el("a", { class: "button", href: "/game/info.html?id=" + game.id }, "资料专区"))),
            el("div", { class: "card" }, el("h2", {}, "游戏特色"), el("div", { class: "grid" },
                ...[["精美画面", "全新引擎打造的细腻场景与光影。"], ["自由社交", "公会、师徒与好友系统，结伴同行。"],
                    ["公平竞技", "赛季排位与跨服对决，人人都有机会。"]].map(([title, text]) =>
                    el("div", { class: "item" }, el("div", {}, el("div", { class: "name" }, title), el("div", { class: "note" }, text)))))),
        ];
    },
    download(game) {
        return [
            el("div", { class: "card" }, el("h2", {}, "客户端下载"),
                el("table", { class: "list" },
                    el("tr", {}, el("th", {}, "版本"), el("th", {}, "大小"), el("th", {}, "说明")),
                    el("tr", {}, el("td", {}, "完整客户端"), el("td", {}, "8.6 GB"), el("td", {}, "推荐首次安装的玩家下载")),
                    el("tr", {}, el("td", {}, "精简客户端"), el("td", {}, "2.1 GB"), el("td", {}, "边玩边下载其余资源"))),
                el("p", { class: "muted" }, "演示站点不提供真实的游戏客户端。安装后在启动器里双击“启动游戏”，选择游戏程序 " + game.EXENAME + " 即可。")),
            el("div", { class: "card" }, el("h2", {}, "配置要求"),
                el("p", {}, "处理器双核 2.0 GHz 以上，内存 4 GB，显卡支持 DirectX 11，硬盘空间 10 GB。")),
        ];
    },
};

Catalog.load().then(() => {
    const game = Catalog.game(Catalog.param("id"));
    if (!game) {
        fill("hero", el("div", {}, el("h1", {}, "网络游戏")));
        notFound("这款游戏");
        return;
    }
    const page = document.body.dataset.page;
    document.title = game.TITLE + " · " + document.title;
    fill("hero", el("img", { src: Catalog.gameIcon(game), alt: "" }),
        el("div", {}, el("h1", {}, game.TITLE), el("p", {}, el("span", { class: "tag" }, document.title.split(" · ")[1]))));
    fill("content", ...pages[page](game));
});
