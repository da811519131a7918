#pragma once
// PipelineStages: the per-item stages that the queue driver calls, in pipeline order.
//
// The driver (Core::process_queue) owns the order, the states, the log lines and the error
// texts; a stage only does its own work on the item at index and answers true or false:
//
//   getbits(index, p)   detection: fills detected_show, season, episode (p: from the folder name)
//   checkex(index)      exceptions: may replace detected_show (its result is not used)
//   searchtv(index)     show search: fills show_title, show_id, show_url
//   getlistings(index)  episode listing: fills episode_title, episode_url
//   dofilter(index)     action filter: fills new_name, target_folder, filter_index
//   fileops(index)      file operation: false on failure, error_text set where the reason is known
//
// This class is the build's own set of stages. The show search and the listing go to the
// episode database through the core's control host (the hosted control "Wirran1") at the
// core's apiBase(). A stage that a build does not have reports so through available(), and the
// driver then fails the item with unavailableText(): it never pretends the stage ran. Tests
// derive from it to script the stages.

#include <cstdint>

class Core;

enum class Stage { Detection, Exceptions, ShowSearch, Listings, FilterChoice, FileOperation };

class PipelineStages {
  public:
    virtual ~PipelineStages() = default;

    // Whether this build can run the stage.
    virtual bool available(Stage stage) const;

    virtual bool getbits(Core& core, int32_t index, bool p);
    virtual bool checkex(Core& core, int32_t index);
    virtual bool searchtv(Core& core, int32_t index);
    virtual bool getlistings(Core& core, int32_t index);
    virtual bool dofilter(Core& core, int32_t index);
    virtual bool fileops(Core& core, int32_t index);

    // The action of the action filter at filter_index (1 rename, 2 move and rename, 3 copy and
    // rename); 0 when there is no such filter.
    virtual int32_t filterAction(const Core& core, int32_t filter_index) const;
};

// The text an item is failed with when its next stage is not in this build, e.g. "Filename
// detection is not available in this build".
const char* unavailableText(Stage stage);
