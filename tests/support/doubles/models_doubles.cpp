// The model subsystem's services, as doubles: no model is ever loaded.
#include "models_services.h"
#include "service_doubles.h"

mow_model* model_io_global_mow_model_list = nullptr;

int mow_rend_init(void)
{
    service_calls.push_back("mow_rend_init()");
    return 1;
}

int mow_rend_cleanup(void)
{
    service_calls.push_back("mow_rend_cleanup()");
    return 1;
}
