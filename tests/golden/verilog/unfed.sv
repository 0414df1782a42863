//==========================================================
//	Kandrel Auto Generation
//==========================================================

module Unfed( input iPixClk,
	//ExtIn
	//ExtOut
		output 	O1_,
		output [ 2:0]	O1_Sync

	);

	A
		Proc1( iPixClk,
			//In
			//Out
				Proc1_O1_INT,
				Proc1_O1_Sync
			);
			wire [ 7:0]	Proc1_O1_INT;
			wire [ 2:0]	Proc1_O1_Sync;

	B
		Proc2( iPixClk,
			//In
			//Out
				Proc2_O1_INT,
				Proc2_O1_Sync
			);
			wire [ 7:0]	Proc2_O1_INT;
			wire [ 2:0]	Proc2_O1_Sync;

	Adder
		Proc3( iPixClk,
			//In
				Proc1_O1_INT,
				Proc1_O1_Sync,
				Proc2_O1_INT,
				Proc2_O1_Sync,
			//Out
				Proc3_O1_INT,
				Proc3_O1_Sync
			);
			wire [ 7:0]	Proc3_O1_INT;
			wire [ 2:0]	Proc3_O1_Sync;

	//ExtOut
endmodule
//----------------------------------------------------------

module A( input iPixClk,
	//ExtIn
	//ExtOut
		output [ 7:0]	O1_INT,
		output [ 2:0]	O1_Sync

	);

	//-----------------------
	// Under construction...
	//-----------------------
endmodule
//----------------------------------------------------------

module B( input iPixClk,
	//ExtIn
	//ExtOut
		output [ 7:0]	O1_INT,
		output [ 2:0]	O1_Sync

	);

	//-----------------------
	// Under construction...
	//-----------------------
endmodule
//----------------------------------------------------------

module Adder( input iPixClk,
	//ExtIn
		input [ 7:0]	Ext_In1_INT,
		input [ 2:0]	Ext_In1_Sync,

		input [ 7:0]	Ext_In2_INT,
		input [ 2:0]	Ext_In2_Sync,

	//ExtOut
		output [ 7:0]	O1_INT,
		output [ 2:0]	O1_Sync

	);

	Adder_INT	Proc1( iPixClk, 
			//In
				Ext_In1_INT,
				Ext_In1_Sync,
				Ext_In2_INT,
				Ext_In2_Sync,
			//Out
				O1_INT,
				O1_Sync
			);
endmodule
//----------------------------------------------------------

