// A library the broken search module below needs, built where the loader
// never looks.
extern "C" int zantor_test_absent_value() { return 1; }
