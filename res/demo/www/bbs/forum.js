// The forum: its front page (forum-1122-1.html, the launcher's "论坛" button) lists the
// boards of every game; forum.html?id=<entry id> is the board a forum entry opens.
"use strict";

const topics = [
    ["【置顶】版规与发帖须知", "版主", 12800, true],
    ["新人报到：大家好，刚入坑，求带！", "晨风", 342, false],
    ["分享一下我这一周的进阶心得", "夜雨听琴", 1207, false],
    ["组队招募：每晚八点固定队缺一人", "北辰", 88, false],
    ["新版本体验：哪些改动你最喜欢？", "青梧", 965, false],
    ["求助：启动器里的工具怎么卸载？", "小鹿", 41, false],
];

function board(title, note) {
    return el("div", { class: "card" }, el("h2", {}, title), note ? el("p", { class: "muted" }, note) : "",
        el("table", { class: "list" },
            el("tr", {}, el("th", {}, "主题"), el("th", {}, "作者"), el("th", {}, "回复")),
            ...topics.map(([subject, author, replies, pinned]) => el("tr", {},
                el("td", {}, pinned ? el("span", { class: "pill hot" }, "置顶") : "", subject),
                el("td", {}, author), el("td", { class: "num" }, replies)))));
}

Catalog.load().then(() => {
    const id = Catalog.param("id");
    if (id === 0) {
        fill("hero", el("div", {}, el("h1", {}, "玩家交流区"), el("p", {}, "Ravik游戏桌面的玩家们在这里交流游戏与工具。")));
        fill("content", board("综合讨论", "启动器使用、意见建议与闲聊。"),
            el("div", { class: "card" }, el("h2", {}, "游戏版块"), el("div", { class: "grid" },
                ...Catalog.rankedGames().map((g) => {
                    const forum = Catalog.toolsOf(g.id).find((t) => t.TYPE === 189);
                    return el("a", { class: "item", href: forum ? "/bbs/forum.html?id=" + forum.id : "#" },
                        el("img", { src: Catalog.gameIcon(g), alt: "" }),
                        el("div", {}, el("div", { class: "name" }, g.TITLE), el("div", { class: "note" }, forum ? forum.TITLE : "")));
                }))));
        return;
    }
    const entry = Catalog.tool(id);
    if (!entry) {
        fill("hero", el("div", {}, el("h1", {}, "玩家论坛")));
        notFound("这个版块");
        return;
    }
    const game = Catalog.game(entry.GAMEID);
    document.title = (game ? game.TITLE + " · " : "") + entry.TITLE;
    fill("hero", el("img", { src: game ? Catalog.gameIcon(game) : Catalog.toolIcon(entry), alt: "" }),
        el("div", {}, el("h1", {}, document.title), el("p", {}, entry.INFO)));
    fill("content", board(entry.TITLE, ""));
});
