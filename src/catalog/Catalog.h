#pragma once

// Catalog is one class to its callers: the three lists, their files and the batch that
// groups writes belong together, and every operation may touch all of them. Its member
// definitions are split by job so each file reads on its own: Catalog.cpp (paths),
// CatalogBatch.cpp (open documents, pending writes, Batch), CatalogLoad.cpp (loaders),
// CatalogWrite.cpp (list writers), CatalogChanges.cpp (changes from the synchronisation),
// CatalogUsed.cpp (the used list) and CatalogItems.cpp (install, delete and program-path
// commands). How records map to file keys is in ToolFields.h and GameFields.h.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "catalog/GameRecord.h"
#include "catalog/IniFile.h"
#include "catalog/Outcome.h"
#include "catalog/RecordField.h"
#include "catalog/ToolRecord.h"
#include "catalog/UserSettings.h"

namespace catalog {

enum class ToolField;
template <typename Record>
class RecordReader;

// The icons an entry shows while it has none of its own: ToolIcon/default<letter>.png.
enum class DefaultIcon : char {
    Plain = 'C',     // a tool without an icon of its own; the site and info entries
    Program = 'D',   // a program not installed or uninstalled; a game without a program path
    Download = 'E',  // the download entry
};

// The three grid views; the delete command does something different in each.
enum class ViewKind { OnlineGames = 1, My = 2, GeneralTools = 3 };

// What an install, uninstall, delete or game-directory notice changed, so the front end can
// refresh its tiles: every tile showing `record.id` in the views concerned takes `record`.
struct ItemChange {
    Outcome outcome;    // NotFound: nothing changed; WriteFailed: a file kept its old contents
    ToolRecord record;  // the entry as its tiles now show it
    std::size_t usedPosition =
        0;                      // 1-based position of the used entry that became `record`; 0 none
    bool usedReloaded = false;  // the used list was rebuilt: rebuild the My view
};

// The catalog files of one program directory and the three lists built from them: games
// (gamecfg.dat with a GameTool/<id>.dat per game), general tools (Normalcfg.dat) and the
// used list behind the My tab (Usedcfg.dat). Every change is written to its file at once;
// inside a Batch each file is read once and saved once, when the batch ends.
// Not thread-safe: one thread owns a Catalog.
class Catalog {
  public:
    // `programDir` ends with a separator; every data path is built on it.
    explicit Catalog(std::string programDir);
    Catalog(const Catalog&) = delete;
    Catalog& operator=(const Catalog&) = delete;

    const std::string& ProgramDir() const { return dir_; }

    GameList& Games() { return games_; }
    const GameList& Games() const { return games_; }
    ToolList& GeneralTools() { return generalTools_; }
    const ToolList& GeneralTools() const { return generalTools_; }
    ToolList& Used() { return used_; }
    const ToolList& Used() const { return used_; }

    // Full paths of the files and directories the catalogs use.
    std::string Path(std::string_view relative) const;  // `relative` uses '/', made native
    std::string GameConfigPath() const;                 // gamecfg.dat
    std::string GeneralToolsPath() const;               // Normalcfg.dat
    std::string UsedPath() const;                       // Usedcfg.dat
    std::string GameToolsPath(uint32_t gameId) const;   // GameTool/<g>.dat
    std::string GameIconPath(uint32_t gameId) const;    // GameIcon/<g>.png
    std::string ToolIconPath(uint32_t toolId) const;    // ToolIcon/<id>.png
    const std::string& DefaultIconPath(DefaultIcon icon) const;
    std::string ToolDirectory(uint32_t toolId) const;  // LocalGameTool/<id>/

    // Loaders. Each replaces its list and returns its count. A missing or damaged file gives
    // an empty list (or drops the damaged records); nothing is reported.
    std::size_t LoadGames();
    // Builds the game's tool list and display list from its GameTool file; returns the size
    // of the display list (at least the kFixedEntryCount fixed entries).
    std::size_t LoadGameTools(uint32_t gameId, GameRecord& game);
    std::size_t LoadGeneralTools();
    // Runs after LoadGames: start entries take their game's title.
    std::size_t LoadUsed();
    // LoadGames, LoadUsed, LoadGeneralTools, in the order the start-up and rebuild need.
    void LoadAll();

    // Writers: serialise a list into its file (only keys are set; other lines stay).
    Outcome WriteGames();
    Outcome WriteTools(uint32_t gameId);  // kGeneralToolGame: the general tools
    Outcome WriteUsed();

    // Changes applied by the catalog synchronisation.
    Outcome PutGame(const GameRecord& game, std::size_t position);
    Outcome DropGame(uint32_t gameId);
    Outcome PutTool(uint32_t gameId, const ToolRecord& tool);
    Outcome DropTool(uint32_t gameId, uint32_t toolId);
    // Raises usercfg.dat [ravikver] lasttime to `stamp` when it is lower, through
    // UserSettings; inside a Batch once, after the catalog files.
    Outcome RaiseLastTime(uint32_t stamp);

    // The used list.
    Outcome AddUsed(const ToolRecord& tool);
    Outcome DropUsed(uint32_t toolId);
    // One-key delete: empties the used list and its file; tools stay installed.
    Outcome ClearUsed();

    // A tool was downloaded and extracted: it becomes installed in its catalog and in the
    // used list.
    ItemChange MarkInstalled(const ToolRecord& tool);
    // The delete command of a tile in a view. In the My view the entry leaves the used list;
    // in the other two the tool is uninstalled (its files are removed, its entries are marked
    // not installed). `currentGame` is the game the online-games view shows.
    ItemChange DeleteItem(ViewKind view, uint32_t toolId, uint32_t currentGame);
    // A game's program path was set for the start entry `toolId` of `currentGame`: the entry
    // shows the game's icon. Only for the online-games view.
    ItemChange GameDirectorySet(ViewKind view, uint32_t toolId, uint32_t currentGame);

    // gamecfg.dat [GAMEDIR] <g>: the game's program path.
    Outcome SetGameDirectory(uint32_t gameId, std::string_view programPath);
    // Read as the run command reads it: at most 399 units, "" when missing.
    std::string GameDirectoryForRun(uint32_t gameId) const;
    // Read as the open-folder command reads it: at most 259 units, "NULL" when missing.
    std::string GameDirectoryForOpen(uint32_t gameId) const;

    // Groups changes: while a Batch is alive each catalog file is read at most once and saved
    // once, at Commit (or when the Batch goes away). The settings file is saved last and only
    // when every catalog file was saved, so stamps never run ahead of the catalogs.
    class Batch {
      public:
        explicit Batch(Catalog& catalog);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;
        Outcome Commit();

      private:
        Catalog* catalog_;
        bool committed_ = false;
    };

  private:
    // Keeps the first failure of several writes.
    static void KeepFirstFailure(Outcome& kept, Outcome next);

    IniFile& Open(const std::string& path);
    const IniFile& Read(const std::string& path, IniFile& scratch);
    const IniFile& ReadCached(const std::string& path, IniFile& scratch) const;
    Outcome Finish(const std::string& path);
    void FlushPending(const std::string& path);
    void FlushAllPending();
    Outcome SaveOpenFiles();
    Outcome WriteGamesNow();
    Outcome WriteToolsNow(uint32_t gameId);
    Outcome WriteUsedNow();
    ToolList* TargetList(uint32_t gameId);
    Outcome WriteThenRaise(Outcome written, uint32_t stamp);
    std::size_t LoadGameTools(uint32_t gameId, GameRecord& game, const IniFile& gameConfig);
    ToolRecord ReadTool(const RecordReader<ToolRecord>& reader, uint32_t item) const;
    Outcome WriteInstalledKey(const std::string& path, const FileLayout<ToolField>& layout,
                              uint32_t toolId, bool installed);
    void UpdateUsedEntry(const ToolRecord& record, ItemChange& change);

    std::string dir_;
    UserSettings settings_{dir_};
    // Built once: the loaders give one of them to most entries.
    std::string plainIcon_;
    std::string programIcon_;
    std::string downloadIcon_;
    GameList games_;
    // Games of gamecfg.dat that are not listed because their icon file is missing yet. They
    // stay in the file when the games list is written, so a failed icon fetch never loses a
    // game: it is listed once the icon arrives.
    GameList waitingGames_;
    ToolList generalTools_;
    ToolList used_;
    int batchDepth_ = 0;
    uint32_t raisedLastTime_ = 0;          // the highest stamp a running batch raised; 0 none
    std::map<std::string, IniFile> open_;  // documents held by the running batch
    // Lists a running batch writes to their files once, when it ends or before anything
    // else reads or writes those files: the game id of each tool file (0 for the general
    // tools), and the games and used lists.
    std::map<std::string, uint32_t> pendingTools_;
    bool pendingGames_ = false;
    bool pendingUsed_ = false;
};

}  // namespace catalog
