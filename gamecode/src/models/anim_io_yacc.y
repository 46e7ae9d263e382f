/* The collision-table grammar of the animation state table file ("ast").
   The pass walks the whole file: names, numbers, ".", ";" and "-" stand for
   themselves and are passed over, while a spaz_model_name statement names
   the model whose joints the tables index and each collision_joint_table
   block defines one named table of joint ranges:

       spaz_model_name figure
       collision_joint_table arms { left_shoulder .. left_hand , 12 } ;

   There is no error rule: the first token that fits nothing ends the pass.
   The actions (anim_io_yacc.cpp) take the texts of the tokens they reduce
   from the lexer bridge's history ring and move its mark past the tokens
   their rule consumed; the code blocks below say what each one does. */

%token IDENT 257
%token NUMBER 258
%token COLLISION_JOINT_TABLE 259
%token SPAZ_MODEL_NAME 260
%token DOUBLE_DOT 261

%%

file : { start(); } statements
     ;

statements : statements statement
           | %empty
           ;

statement : IDENT { consume(1); }
          | NUMBER { consume(1); }
          | '.' { consume(1); }
          | ';' { consume(1); }
          | '-' { consume(1); }
          | spaz_model_name
          | collision_joint_table
          ;

spaz_model_name : SPAZ_MODEL_NAME IDENT { spaz_model_name(token(1)); consume(2); }
                ;

collision_joint_table : COLLISION_JOINT_TABLE IDENT '{' { table_begin(token(1)); consume(3); }
                        joint_pair_list '}' ';' { table_end(); consume(2); }
                      ;

joint_pair_list : joint_pair_list ',' { consume(1); } joint_pair
                | joint_pair
                ;

joint_pair : IDENT { pair(token(0), none); consume(1); }
           | NUMBER { pair(token(0), none); consume(1); }
           | IDENT DOUBLE_DOT IDENT { pair(token(0), token(2)); consume(3); }
           | NUMBER DOUBLE_DOT IDENT { pair(token(0), token(2)); consume(3); }
           | IDENT DOUBLE_DOT NUMBER { pair(token(0), token(2)); consume(3); }
           | NUMBER DOUBLE_DOT NUMBER { pair(token(0), token(2)); consume(3); }
           ;
