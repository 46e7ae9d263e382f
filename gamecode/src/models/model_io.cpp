#include "model_io.h"

#include <cstdio>

#include "debug.h"
#include "file_io.h"
#include "mow_rend_dx7.h"

mow_model* model_io_global_mow_model_list = nullptr;
int32_t model_io_global_mow_model_list_size = 0;

namespace {

const char* model_name(const mow_model* model)
{
    return model->mow_model_name ? model->mow_model_name : "(null)";
}

// Model files and the error lines of their loader.
const versioned_record_file model_file = {
    FILE_TYPE_MODEL,
    FILE_VERSION_MODEL,
    [](FILE* file) -> void* { return read_mow_model_bin(file); },
    [](const char* path, int32_t found) {
        LOG_ERROR("Bad file type or file version '%s', found version %ld, expected %ld\n", path,
                  (long)found, (long)FILE_VERSION_MODEL);
    },
    [](const char* path) { LOG_ERROR("Could not read-to-verify mow_model file '%s'\n", path); },
};

}  // namespace

mow_model* model_io_load(const char* path)
{
    REFUSE_NULL(path, "model_io_load", "path", nullptr);
    LOG_NOTICE("Reading MOW '%s'\n", path);
    // Sharing compares the stored name with the path asked for, so a file
    // is shared exactly when it stores the path it is loaded by.
    mow_model* listed = (mow_model*)dlink_find((dlink*)model_io_global_mow_model_list, path);
    if (listed)
        return listed;
    mow_model* model = (mow_model*)file_read_versioned_record(path, path, &model_file);
    if (!model)
        return nullptr;
    if (!mow_rend_init_mow_model(model)) {
        LOG_ERROR("Could not mow_rend_init_mow_model '%s'\n", model_name(model));
        free_mow_model(model);
        return nullptr;
    }
    add_to_mow_model_list(&model_io_global_mow_model_list, &model_io_global_mow_model_list_size,
                          model);
    --model->mow_model_ref_cnt;  // the reference it was read with is the list's
    return model;
}

int model_io_remove_mow_model(void)
{
    int ok = 1;
    const int32_t listed = model_io_global_mow_model_list_size;
    mow_model* model = model_io_global_mow_model_list;
    for (int32_t i = 0; i < listed && model; ++i) {
        mow_model* next = model->next;
        if (model->mow_model_ref_cnt <= 1) {
            LOG_NOTICE("removing mow_model %s from list.\n", model_name(model));
            if (remove_from_mow_model_list(&model_io_global_mow_model_list,
                                           &model_io_global_mow_model_list_size, model)) {
                ++model->mow_model_ref_cnt;  // the list's reference, released now
                ok = free_mow_model(model) && ok;
            } else {
                ok = 0;
            }
        }
        model = next;
    }
    return ok;
}

void model_io_reset(void)
{
    while (mow_model* model = model_io_global_mow_model_list) {
        remove_from_mow_model_list(&model_io_global_mow_model_list,
                                   &model_io_global_mow_model_list_size, model);
        model->mow_model_ref_cnt = 1;
        free_mow_model(model);
    }
    model_io_global_mow_model_list_size = 0;
}
